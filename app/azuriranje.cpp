#include "azuriranje.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "DBEdit.h"
#include "Dataset.h"
#include "Dialogs.h"

TRowDialog::TRowDialog(const char* objectName, const char* caption, db::Table& table, const char* label1,
                       const char* field1, const char* label2, const char* field2, Dialogs& dialogs,
                       std::function<CodePage()> codePage, QWidget* parent)
    : QDialog(parent) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    DBEdit1 = new DBEdit(table, field1, codePage, this);
    DBEdit1->setObjectName("DBEdit1");
    DBEdit2 = new DBEdit(table, field2, codePage, this);
    DBEdit2->setObjectName("DBEdit2");
    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OK");
    Odustani = new QPushButton("Odustani", this);
    Odustani->setObjectName("Odustani");
    auto* form = new QFormLayout;
    form->addRow(label1, DBEdit1);
    form->addRow(label2, DBEdit2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(Odustani);
    auto* l = new QVBoxLayout(this);
    l->addLayout(form);
    l->addLayout(buttons);
    setFixedSize(sizeHint());
    connect(OKButton, &QPushButton::clicked, this, [this, &dialogs] {
        if (storeAll({DBEdit1, DBEdit2}, [&dialogs](const std::string& m) { dialogs.ShowError(m); })) accept();
    });
    connect(Odustani, &QPushButton::clicked, this, &QDialog::reject);
}

void TRowDialog::FormShow() {
    DBEdit1->Reload();
    DBEdit2->Reload();
    DBEdit1->setFocus();
}

TAzuOperater::TAzuOperater(db::Table& operators, Dialogs& dialogs, std::function<CodePage()> codePage,
                           QWidget* parent)
    : TRowDialog("AzuOperater", "Azuriranje podataka o operaterima", operators, "Naziv operatera",
                 "F_NAZIV_OPERATERA", "Lozinka", "F_LOZINKA_OPERATERA", dialogs, std::move(codePage), parent) {}

TAzuGrupa::TAzuGrupa(db::Table& groups, Dialogs& dialogs, std::function<CodePage()> codePage, QWidget* parent)
    : TRowDialog("AzuGrupa", "Azuriranje podataka o grupama", groups, "Naziv", "F_NAZIV_GRUPA", "Stopa",
                 "PORSTOPA", dialogs, std::move(codePage), parent) {}
