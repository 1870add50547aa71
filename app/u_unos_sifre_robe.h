// The article dialog: edits the current row of the articles table through bound edit boxes.
#pragma once

#include <QDialog>

#include "CodePage.h"

class Tdm_db;
class Dialogs;
class QLineEdit;
class QComboBox;
class QPushButton;

class TAzuroba : public QDialog {
    Q_OBJECT
public:
    TAzuroba(Tdm_db& dm, Dialogs& dialogs, QWidget* parent = nullptr);

    // Fills the boxes from the current row; the name box shows its bytes in `cp`, the code
    // page of the articles grid.
    void FormShow(CodePage cp);

    QLineEdit* DBEdit1;  // F_SIFRA_ROBE
    QLineEdit* DBEdit2;  // F_NAZIV_ROBE
    QLineEdit* DBEdit3;  // F_SIFRA_GRUPA
    QLineEdit* DBEdit4;  // F_CIJENA_ROBE
    QLineEdit* DBEdit5;  // F_SIFRA_POR_STOPE
    QComboBox* DBLookupComboBox1;
    QLineEdit* DBEdit6;  // F_BAR_CODE
    QPushButton* OKButton;
    QPushButton* Odustani;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;  // DBEdit1KeyPress: Enter acts as Tab

private:
    bool storeIntoRow();
    void syncLookupFromEdit();

    Tdm_db& dm_;
    Dialogs& dialogs_;
    CodePage cp_ = CodePage::Latinica;
};
