// Cursors over rows of the local database: a read-only Query for free statements, and a
// Table object that browses, edits, inserts and deletes the rows of one table.
//
// Both hold their rows in memory (the tables are small: at most some twelve thousand
// articles), so iterating over one never blocks another statement on the same connection.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Firebird.h"
#include "Schema.h"

namespace db {

enum class DatasetState { Inactive, Browse, Edit, Insert };

class Dataset {
public:
    enum class Event { StateChanged, DataChanged, CurrentChanged };
    using Listener = std::function<void(Event)>;

    virtual ~Dataset() = default;

    DatasetState state() const { return state_; }
    bool active() const { return state_ != DatasetState::Inactive; }

    void first();
    void next();  // past the last row sets eof()
    void prior();
    void last();
    bool eof() const { return eof_; }
    bool isEmpty() const { return rows_.empty(); }
    int recordCount() const { return static_cast<int>(rows_.size()); }
    int recNo() const { return rows_.empty() ? -1 : cur_; }  // 0-based
    void moveTo(int row);

    // Field of the current row (of the edit buffer while editing); null on an empty set.
    // Names are matched without regard to case. Throws DbError for an unknown name.
    virtual Value fieldByName(const std::string& name) const;
    std::vector<std::string> fieldNames() const;
    virtual Value valueAt(int row, int field) const;

    int subscribe(Listener l);
    void unsubscribe(int id);

protected:
    int fieldIndex(const std::string& name) const;  // -1 if none
    void notify(Event e);
    void setState(DatasetState s);
    virtual void leaveEditing() {}

    std::vector<std::string> names_;
    std::vector<Row> rows_;
    int cur_ = 0;
    bool eof_ = true;
    DatasetState state_ = DatasetState::Inactive;

private:
    std::vector<std::pair<int, Listener>> listeners_;
    int nextListener_ = 1;
};

// A statement object: holds the whole result of its last query.
class Query : public Dataset {
public:
    explicit Query(Connection& c) : c_(c) {}
    void open(const std::string& sql);  // throws DbError; replaces (and so closes) the last result
    unsigned execSQL(const std::string& sql);  // closes the last result first
    void close();

private:
    Connection& c_;
};

// A table object. Every successful post or delete is committed at once.
class Table : public Dataset {
public:
    struct Bookmark {
        Row key;
        int row = -1;
    };

    Table(Connection& c, const TableDef& def) : c_(c), def_(def) {}

    const TableDef& def() const { return def_; }

    void open();  // opens the lookup sources too
    void close();
    void refresh();  // reloads, staying on the same row where it still exists

    // Orders by the named index (matched without regard to case); "" orders by the key.
    void setIndexName(const std::string& name);
    const std::string& indexName() const { return indexName_; }

    void append();
    void edit();  // on an empty table this starts an insert, as the first row must be added
    void post();  // throws DbError with the database's message; the edit state stays then
    void cancel();
    void deleteRecord();

    // Only while editing. A text is cut to the column's width; an empty text in STAT, or in
    // a numeric column, is stored as null; a text in a numeric column must read as a number.
    void setField(const std::string& name, const Value& v);

    bool locate(const std::string& field, const Value& v, bool partialText = false);

    Bookmark bookmark() const;
    bool gotoBookmark(const Bookmark& b);

    // A computed column: the `result` field of the row of `source` whose `sourceKey` equals
    // this row's `keyField`; null when there is none.
    void addLookup(std::string name, std::string keyField, Table& source, std::string sourceKey,
                   std::string result);

    Value fieldByName(const std::string& name) const override;
    Value valueAt(int row, int field) const override;
    // Position of a column, lookup columns following the table's own; -1 if none.
    int columnIndex(const std::string& name) const;

private:
    struct Lookup {
        std::string name, keyField;
        Table* source;
        std::string sourceKey, result;
    };

    std::string selectSql() const;
    void requireActive() const;
    void requireEditing() const;
    void leaveEditing() override;
    void sortRows();
    bool lessRow(const Row& a, const Row& b) const;
    int placeRow(Row r);  // puts r where the order wants it, returns its position
    Row keyOf(const Row& r) const;
    std::string whereClause(std::vector<Value>& params, const Row& old) const;
    int findKey(const Row& key) const;
    Value lookup(const Lookup& l, const Row& r) const;
    const Row& currentRow() const;

    Connection& c_;
    const TableDef& def_;
    std::string indexName_;
    std::vector<int> order_;  // column positions that order the rows
    std::vector<int> key_;    // column positions that identify a row
    Row buffer_;              // the row being edited or inserted
    Row original_;            // the row as it was before edit()
    int savedCur_ = 0;
    std::vector<Lookup> lookups_;
};

}  // namespace db
