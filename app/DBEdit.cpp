#include "DBEdit.h"

#include <QRegularExpressionValidator>

#include "Dataset.h"

DBEdit::DBEdit(db::Table& table, std::string field, std::function<CodePage()> codePage, QWidget* parent)
    : QLineEdit(parent), table_(table), field_(std::move(field)), codePage_(std::move(codePage)) {
    const db::ColumnDef* col = table_.def().column(field_);
    numeric_ = col && col->type != db::ColumnType::Text;
    if (col && !numeric_) setMaxLength(col->width);
    if (numeric_)
        setValidator(new QRegularExpressionValidator(QRegularExpression(R"([+-]?[0-9]*([.,][0-9]*)?)"), this));
    subscription_ = table_.subscribe([this](db::Dataset::Event) {
        if (!storing_) Reload();
    });
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (!table_.active()) return;
        if (table_.state() == db::DatasetState::Browse) {
            storing_ = true;  // starting the edit must not put the old value back into this box
            table_.edit();
            storing_ = false;
        }
        try {
            Store();
        } catch (const std::exception&) {
            // An incomplete number ("-") is taken once it reads as one; "Sacuvaj" reports it.
        }
    });
    Reload();
}

DBEdit::~DBEdit() { table_.unsubscribe(subscription_); }

void DBEdit::Reload() {
    if (!table_.active()) {
        clear();
        return;
    }
    db::Value v = table_.fieldByName(field_);
    QString text = v.kind() == db::Value::Kind::Text ? decodeText(v.text(), codePage_())
                                                     : QString::fromStdString(v.asString());
    if (text != this->text()) setText(text);
}

void DBEdit::Store() {
    storing_ = true;
    struct Reset {
        bool& b;
        ~Reset() { b = false; }
    } reset{storing_};
    if (numeric_) {
        QString t = text().trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        table_.setField(field_, latin1Bytes(t));
    } else {
        table_.setField(field_, encodeText(text(), codePage_()));
    }
}

bool storeAll(std::initializer_list<DBEdit*> edits, const std::function<void(const std::string&)>& error) {
    try {
        for (DBEdit* e : edits) e->Store();
        return true;
    } catch (const std::exception& e) {
        error(e.what());
        return false;
    }
}
