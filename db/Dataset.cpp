#include "Dataset.h"

#include <algorithm>

namespace db {

// ---- Dataset -------------------------------------------------------------------------------

void Dataset::first() {
    leaveEditing();
    cur_ = 0;
    eof_ = rows_.empty();
    notify(Event::CurrentChanged);
}

void Dataset::next() {
    leaveEditing();
    if (cur_ + 1 < recordCount()) {
        ++cur_;
        notify(Event::CurrentChanged);
    } else {
        eof_ = true;
    }
}

void Dataset::prior() {
    leaveEditing();
    if (cur_ > 0) --cur_;
    eof_ = rows_.empty();
    notify(Event::CurrentChanged);
}

void Dataset::last() {
    leaveEditing();
    cur_ = std::max(0, recordCount() - 1);
    eof_ = rows_.empty();
    notify(Event::CurrentChanged);
}

void Dataset::moveTo(int row) {
    leaveEditing();
    if (rows_.empty()) return;
    cur_ = std::clamp(row, 0, recordCount() - 1);
    eof_ = false;
    notify(Event::CurrentChanged);
}

int Dataset::fieldIndex(const std::string& name) const {
    for (size_t i = 0; i < names_.size(); ++i)
        if (equalsIgnoreCase(names_[i], name)) return static_cast<int>(i);
    return -1;
}

Value Dataset::fieldByName(const std::string& name) const {
    int i = fieldIndex(name);
    if (i < 0) throw DbError("Field '" + name + "' not found");
    if (rows_.empty()) return {};
    return rows_[cur_][i];
}

std::vector<std::string> Dataset::fieldNames() const { return names_; }

Value Dataset::valueAt(int row, int field) const { return rows_.at(row).at(field); }

int Dataset::subscribe(Listener l) {
    listeners_.emplace_back(nextListener_, std::move(l));
    return nextListener_++;
}

void Dataset::unsubscribe(int id) {
    std::erase_if(listeners_, [id](const auto& p) { return p.first == id; });
}

void Dataset::notify(Event e) {
    for (auto& [id, l] : std::vector(listeners_)) l(e);
}

void Dataset::setState(DatasetState s) {
    if (s == state_) return;
    state_ = s;
    notify(Event::StateChanged);
}

// ---- Query ---------------------------------------------------------------------------------

void Query::close() {
    rows_.clear();
    names_.clear();
    cur_ = 0;
    eof_ = true;
    setState(DatasetState::Inactive);
}

void Query::open(const std::string& sql) {
    close();
    ResultSet rs = c_.select(sql);
    names_ = std::move(rs.columns);
    rows_ = std::move(rs.rows);
    eof_ = rows_.empty();
    setState(DatasetState::Browse);
    notify(Event::DataChanged);
}

unsigned Query::execSQL(const std::string& sql) {
    close();
    return c_.execute(sql);
}

// ---- Table ---------------------------------------------------------------------------------

void Table::requireActive() const {
    if (!active()) throw DbError("Table " + def_.name + " is not open");
}

void Table::requireEditing() const {
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert)
        throw DbError("Table " + def_.name + " is not in edit or insert mode");
}

// A pending insert or edit ends with the next table operation: the change that was not
// posted is dropped rather than posted behind the caller's back.
void Table::leaveEditing() {
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) cancel();
}

std::string Table::selectSql() const {
    std::string s;
    for (const auto& c : def_.columns) s += (s.empty() ? "SELECT " : ", ") + c.name;
    return s + " FROM " + def_.name;
}

void Table::open() {
    if (active()) return;
    for (auto& l : lookups_) l.source->open();
    names_.clear();
    for (const auto& c : def_.columns) names_.push_back(c.name);
    key_.clear();
    for (const auto& k : def_.keyColumns()) key_.push_back(fieldIndex(k));
    rows_ = c_.select(selectSql()).rows;
    setIndexName(indexName_);
    cur_ = 0;
    eof_ = rows_.empty();
    setState(DatasetState::Browse);
    notify(Event::DataChanged);
}

void Table::close() {
    rows_.clear();
    cur_ = 0;
    eof_ = true;
    setState(DatasetState::Inactive);
    notify(Event::DataChanged);
}

void Table::refresh() {
    requireActive();
    leaveEditing();
    Bookmark b = bookmark();
    rows_ = c_.select(selectSql()).rows;
    sortRows();
    eof_ = rows_.empty();
    if (!gotoBookmark(b)) cur_ = std::clamp(b.row, 0, std::max(0, recordCount() - 1));
    notify(Event::DataChanged);
}

void Table::setIndexName(const std::string& name) {
    std::vector<int> order;
    if (!name.empty()) {
        const IndexDef* x = def_.index(name);
        if (!x) throw DbError("Index '" + name + "' not found in table " + def_.name);
        for (const auto& c : x->columns) order.push_back(fieldIndex(c));
    }
    // The key breaks ties, so equal names or codes always come in the same order.
    for (int k : key_)
        if (std::find(order.begin(), order.end(), k) == order.end()) order.push_back(k);
    indexName_ = name;
    order_ = std::move(order);
    if (rows_.empty()) return;
    Bookmark b = bookmark();
    sortRows();
    gotoBookmark(b);
    notify(Event::DataChanged);
}

bool Table::lessRow(const Row& a, const Row& b) const {
    for (int i : order_) {
        int c = Value::compare(a[i], b[i]);
        if (c) return c < 0;
    }
    return false;
}

void Table::sortRows() {
    std::stable_sort(rows_.begin(), rows_.end(),
                     [this](const Row& a, const Row& b) { return lessRow(a, b); });
}

int Table::placeRow(Row r) {
    auto it = std::upper_bound(rows_.begin(), rows_.end(), r,
                               [this](const Row& a, const Row& b) { return lessRow(a, b); });
    it = rows_.insert(it, std::move(r));
    return static_cast<int>(it - rows_.begin());
}

Row Table::keyOf(const Row& r) const {
    Row k;
    for (int i : key_) k.push_back(r[i]);
    return k;
}

int Table::findKey(const Row& key) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        bool same = true;
        for (size_t j = 0; j < key_.size() && same; ++j) same = Value::compare(rows_[i][key_[j]], key[j]) == 0;
        if (same) return static_cast<int>(i);
    }
    return -1;
}

const Row& Table::currentRow() const {
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return buffer_;
    return rows_[cur_];
}

void Table::append() {
    requireActive();
    leaveEditing();
    savedCur_ = cur_;
    buffer_.assign(names_.size(), Value());
    setState(DatasetState::Insert);
}

void Table::edit() {
    requireActive();
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return;
    if (rows_.empty()) return append();
    original_ = rows_[cur_];
    buffer_ = original_;
    setState(DatasetState::Edit);
}

void Table::cancel() {
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    bool inserting = state_ == DatasetState::Insert;
    buffer_.clear();
    if (inserting) cur_ = std::clamp(savedCur_, 0, std::max(0, recordCount() - 1));
    setState(DatasetState::Browse);
    notify(Event::CurrentChanged);
}

void Table::setField(const std::string& name, const Value& v) {
    requireEditing();
    int i = fieldIndex(name);
    if (i < 0) throw DbError("Field '" + name + "' not found");
    const ColumnDef& col = def_.columns[i];
    Value stored = v;
    switch (col.type) {
        case ColumnType::Text: {
            std::string s = v.asString();
            if (s.size() > static_cast<size_t>(col.width)) s.resize(col.width);
            stored = v.isNull() || (s.empty() && equalsIgnoreCase(col.name, "STAT")) ? Value()
                                                                                      : Value(s);
            break;
        }
        case ColumnType::Float:
            if (v.kind() == Value::Kind::Text && v.text().empty()) stored = Value();
            else if (!v.isNull()) stored = Value(v.asFloat());
            break;
        case ColumnType::Integer:
            if (v.kind() == Value::Kind::Text && v.text().empty()) stored = Value();
            else if (!v.isNull()) stored = Value(v.asInt());
            break;
    }
    buffer_[i] = std::move(stored);
}

std::string Table::whereClause(std::vector<Value>& params, const Row& old) const {
    std::string w;
    auto add = [&](int i) {
        w += (w.empty() ? " WHERE " : " AND ") + names_[i] + " IS NOT DISTINCT FROM ?";
        params.push_back(old[i]);
    };
    if (!key_.empty()) {
        for (int i : key_) add(i);
    } else {
        for (size_t i = 0; i < names_.size(); ++i) add(static_cast<int>(i));
        w += " ROWS 1";  // without a key only the whole row tells; change one of equal rows
    }
    return w;
}

void Table::post() {
    requireEditing();
    std::vector<Value> params;
    if (state_ == DatasetState::Insert) {
        std::string cols, marks;
        for (size_t i = 0; i < names_.size(); ++i) {
            cols += (i ? ", " : "") + names_[i];
            marks += i ? ", ?" : "?";
        }
        params = buffer_;
        c_.execute("INSERT INTO " + def_.name + " (" + cols + ") VALUES (" + marks + ")", params);
    } else {
        std::string set;
        for (size_t i = 0; i < names_.size(); ++i) set += (i ? ", " : "") + names_[i] + " = ?";
        params = buffer_;
        std::string where = whereClause(params, original_);
        if (c_.execute("UPDATE " + def_.name + " SET " + set + where, params) == 0)
            throw DbError("Record not found or changed by another user");
    }
    c_.commitRetaining();
    if (state_ == DatasetState::Edit) rows_.erase(rows_.begin() + cur_);
    cur_ = placeRow(std::move(buffer_));
    buffer_.clear();
    eof_ = false;
    setState(DatasetState::Browse);
    notify(Event::DataChanged);
}

void Table::deleteRecord() {
    requireActive();
    leaveEditing();
    if (rows_.empty()) throw DbError("Cannot perform this operation on an empty dataset");
    std::vector<Value> params;
    std::string where = whereClause(params, rows_[cur_]);
    c_.execute("DELETE FROM " + def_.name + where, params);
    c_.commitRetaining();
    rows_.erase(rows_.begin() + cur_);
    cur_ = std::clamp(cur_, 0, std::max(0, recordCount() - 1));
    eof_ = rows_.empty();
    notify(Event::DataChanged);
}

bool Table::locate(const std::string& field, const Value& v, bool partialText) {
    requireActive();
    leaveEditing();
    int f = fieldIndex(field);
    if (f < 0) throw DbError("Field '" + field + "' not found");
    if (!partialText && !v.isNull() && !order_.empty() && order_[0] == f) {
        // Rows ordered by this column: the first equal one is found by halving.
        auto it = std::lower_bound(rows_.begin(), rows_.end(), v,
                                   [f](const Row& r, const Value& x) { return Value::compare(r[f], x) < 0; });
        if (it == rows_.end() || (*it)[f].isNull() || Value::compare((*it)[f], v) != 0) return false;
        moveTo(static_cast<int>(it - rows_.begin()));
        return true;
    }
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Value& x = rows_[i][f];
        bool hit = partialText ? !x.isNull() && x.asString().starts_with(v.asString())
                               : !x.isNull() && Value::compare(x, v) == 0;
        if (hit) {
            moveTo(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

Table::Bookmark Table::bookmark() const {
    if (rows_.empty()) return {};
    return {keyOf(rows_[cur_]), cur_};
}

bool Table::gotoBookmark(const Bookmark& b) {
    if (rows_.empty() || b.row < 0) return false;
    int i = key_.empty() ? (b.row < recordCount() ? b.row : -1) : findKey(b.key);
    if (i < 0) return false;
    moveTo(i);
    return true;
}

void Table::addLookup(std::string name, std::string keyField, Table& source, std::string sourceKey,
                      std::string result) {
    lookups_.push_back({std::move(name), std::move(keyField), &source, std::move(sourceKey),
                        std::move(result)});
}

Value Table::lookup(const Lookup& l, const Row& r) const {
    const Value& key = r[fieldIndex(l.keyField)];
    if (key.isNull()) return {};
    const Table& s = *l.source;
    int k = s.fieldIndex(l.sourceKey), res = s.fieldIndex(l.result);
    for (const Row& x : s.rows_)
        if (Value::compare(x[k], key) == 0) return x[res];
    return {};
}

Value Table::fieldByName(const std::string& name) const {
    for (const auto& l : lookups_)
        if (equalsIgnoreCase(l.name, name)) return rows_.empty() && state_ != DatasetState::Insert
                                                       ? Value()
                                                       : lookup(l, currentRow());
    int i = fieldIndex(name);
    if (i < 0) throw DbError("Field '" + name + "' not found");
    if (rows_.empty() && state_ != DatasetState::Insert) return {};
    return currentRow()[i];
}

int Table::columnIndex(const std::string& name) const {
    for (size_t i = 0; i < lookups_.size(); ++i)
        if (equalsIgnoreCase(lookups_[i].name, name)) return static_cast<int>(names_.size() + i);
    return fieldIndex(name);
}

Value Table::valueAt(int row, int field) const {
    int n = static_cast<int>(names_.size());
    if (field >= n && field - n < static_cast<int>(lookups_.size()))
        return lookup(lookups_[field - n], rows_.at(row));
    return Dataset::valueAt(row, field);
}

}  // namespace db
