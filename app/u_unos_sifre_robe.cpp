#include "u_unos_sifre_robe.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "DM_db_source.h"
#include "Dialogs.h"

namespace {

// Number boxes take only what can make a number (a decimal comma counts as a point).
QValidator* numberValidator(QObject* parent) {
    return new QRegularExpressionValidator(QRegularExpression(R"([+-]?[0-9]*([.,][0-9]*)?)"), parent);
}

db::Value numberOf(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return db::Value(latin1Bytes(t));  // empty stores null; anything else must read as a number
}

}  // namespace

TAzuroba::TAzuroba(Tdm_db& dm, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), dm_(dm), dialogs_(dialogs) {
    setObjectName("Azuroba");
    setWindowTitle("Unos - azuriranje sifre robe");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    auto make = [this](const char* name, int maxLength, bool number) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setMaxLength(maxLength);
        if (number) e->setValidator(numberValidator(e));
        e->installEventFilter(this);
        return e;
    };
    DBEdit1 = make("DBEdit1", 12, true);
    DBEdit2 = make("DBEdit2", 32, false);
    DBEdit3 = make("DBEdit3", 12, true);
    DBEdit4 = make("DBEdit4", 20, true);
    DBEdit5 = make("DBEdit5", 12, true);
    DBEdit6 = make("DBEdit6", 14, false);
    DBLookupComboBox1 = new QComboBox(this);
    DBLookupComboBox1->setObjectName("DBLookupComboBox1");
    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OK");
    OKButton->setDefault(false);
    OKButton->setAutoDefault(false);
    Odustani = new QPushButton("Odustani", this);
    Odustani->setObjectName("Odustani");
    Odustani->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow("Sifra", DBEdit1);
    form->addRow("Naziv robe - artikla", DBEdit2);
    form->addRow("Grupa Robe", DBEdit3);
    form->addRow("Cijena Robe", DBEdit4);
    auto* rate = new QHBoxLayout;
    rate->addWidget(DBEdit5, 1);
    rate->addWidget(DBLookupComboBox1, 2);
    form->addRow("Tarifna grupa", rate);
    form->addRow("Bar kod", DBEdit6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(Odustani);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        if (storeIntoRow()) accept();
    });
    connect(Odustani, &QPushButton::clicked, this, &QDialog::reject);
    connect(DBLookupComboBox1, &QComboBox::activated, this, [this](int i) {
        DBEdit5->setText(DBLookupComboBox1->itemData(i).toString());
    });
    connect(DBEdit5, &QLineEdit::textEdited, this, [this] { syncLookupFromEdit(); });
}

void TAzuroba::FormShow(CodePage cp) {
    cp_ = cp;
    const db::Table& t = dm_.froba;
    auto text = [&](const char* f) { return QString::fromStdString(t.fieldByName(f).asString()); };
    DBEdit1->setText(text("F_SIFRA_ROBE"));
    DBEdit2->setText(decodeText(t.fieldByName("F_NAZIV_ROBE").asString(), cp));
    DBEdit3->setText(text("F_SIFRA_GRUPA"));
    DBEdit4->setText(text("F_CIJENA_ROBE"));
    DBEdit5->setText(text("F_SIFRA_POR_STOPE"));
    DBEdit6->setText(decodeText(t.fieldByName("F_BAR_CODE").asString(), cp));
    DBLookupComboBox1->clear();
    db::Table& stope = dm_.Stope;
    for (int r = 0; r < stope.recordCount(); ++r)
        DBLookupComboBox1->addItem(decodeText(stope.valueAt(r, 1).asString(), cp),
                                   QString::fromStdString(stope.valueAt(r, 0).asString()));
    syncLookupFromEdit();
    DBEdit2->setFocus();
}

void TAzuroba::syncLookupFromEdit() {
    int i = DBLookupComboBox1->findData(DBEdit5->text().trimmed());
    DBLookupComboBox1->setCurrentIndex(i);
}

bool TAzuroba::storeIntoRow() {
    db::Table& t = dm_.froba;
    try {
        t.setField("F_SIFRA_ROBE", numberOf(DBEdit1->text()));
        t.setField("F_NAZIV_ROBE", encodeText(DBEdit2->text(), cp_));
        t.setField("F_SIFRA_GRUPA", numberOf(DBEdit3->text()));
        t.setField("F_CIJENA_ROBE", numberOf(DBEdit4->text()));
        t.setField("F_SIFRA_POR_STOPE", numberOf(DBEdit5->text()));
        t.setField("F_BAR_CODE", encodeText(DBEdit6->text(), cp_));
        return true;
    } catch (const std::exception& e) {
        dialogs_.ShowError(e.what());
        return false;
    }
}

bool TAzuroba::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}
