// The operator and group dialogs: two boxes bound to the current row of their table.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "CodePage.h"

class DBEdit;
class Dialogs;
class QPushButton;
namespace db {
class Table;
}

class TRowDialog : public QDialog {
    Q_OBJECT
public:
    TRowDialog(const char* objectName, const char* caption, db::Table& table, const char* label1,
               const char* field1, const char* label2, const char* field2, Dialogs& dialogs,
               std::function<CodePage()> codePage, QWidget* parent);
    // Shows the row's values, the focus in the name box.
    void FormShow();
    DBEdit* DBEdit1;
    DBEdit* DBEdit2;
    QPushButton* OKButton;
    QPushButton* Odustani;
};

// "Azuriranje podataka o operaterima": name and password of F_OPERATERI.
class TAzuOperater : public TRowDialog {
    Q_OBJECT
public:
    TAzuOperater(db::Table& operators, Dialogs& dialogs, std::function<CodePage()> codePage,
                 QWidget* parent = nullptr);
};

// "Azuriranje podataka o grupama": name and tax rate of F_GRUPE_ROBA.
class TAzuGrupa : public TRowDialog {
    Q_OBJECT
public:
    TAzuGrupa(db::Table& groups, Dialogs& dialogs, std::function<CodePage()> codePage,
              QWidget* parent = nullptr);
};
