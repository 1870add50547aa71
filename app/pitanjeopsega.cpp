#include "pitanjeopsega.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Topseg::Topseg(QWidget* parent) : QDialog(parent) {
    setObjectName("opseg");
    setWindowTitle("Kolicina citanja podataka");
    setModal(true);
    auto* text = new QLabel(
        "Odredite opseg citanja iz kase. U slucaju velike kolicine podataka operacija citanja moze "
        "potrajati",
        this);
    text->setWordWrap(true);
    RadioButton1 = new QRadioButton("Ocitaj opseg roba", this);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton("Ocitaj apsolutno sve robe", this);
    RadioButton2->setObjectName("RadioButton2");
    Edit1 = new QLineEdit("1", this);
    Edit1->setObjectName("Edit1");
    Edit2 = new QLineEdit("100", this);
    Edit2->setObjectName("Edit2");
    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OK");
    Odustani = new QPushButton("Odustani", this);
    Odustani->setObjectName("Odustani");
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(Odustani, &QPushButton::clicked, this, &QDialog::reject);

    auto* range = new QHBoxLayout;
    range->addWidget(RadioButton1);
    range->addWidget(Edit1);
    range->addWidget(new QLabel("do", this));
    range->addWidget(Edit2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(Odustani);
    auto* l = new QVBoxLayout(this);
    l->addWidget(text);
    l->addLayout(range);
    l->addWidget(RadioButton2);
    l->addLayout(buttons);
}
