// The connection to one local database file through the embedded Firebird engine, with the
// one transaction that every table and statement of the data module shares.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Value.h"

namespace db {

using Row = std::vector<Value>;

struct ResultSet {
    std::vector<std::string> columns;  // as the database names them (unquoted aliases upper-case)
    std::vector<Row> rows;
};

class Connection {
public:
    Connection();
    ~Connection();  // commits an active transaction, then detaches
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Attaches to an existing file. Throws DbError with the engine's message.
    void attach(const std::string& path, const std::string& user, const std::string& password);
    // Creates a new file (SQL dialect 3, default character set NONE) and attaches to it.
    void create(const std::string& path, const std::string& user, const std::string& password);
    // Removes the attached database file (used when building a new one fails half-way).
    void drop() noexcept;
    void detach() noexcept;
    bool attached() const;

    // The transaction starts with the first statement and lives until commit().
    bool inTransaction() const;
    void commitRetaining();  // postponed while a CommitBatch is open
    void commit();

    // Runs a query and fetches its whole result. Throws DbError.
    ResultSet select(const std::string& sql, const std::vector<Value>& params = {});
    // Runs a statement that returns no rows; returns the number of rows it changed.
    unsigned execute(const std::string& sql, const std::vector<Value>& params = {});

private:
    friend class CommitBatch;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Within a long bulk command (a spreadsheet import of thousands of rows) the commit after each
// change is gathered into one commit every `every` changes and one at the end: a crash loses
// at most the last batch of that command, whose source still holds it.
class CommitBatch {
public:
    explicit CommitBatch(Connection& c, int every = 500);
    ~CommitBatch();
    CommitBatch(const CommitBatch&) = delete;
    CommitBatch& operator=(const CommitBatch&) = delete;

private:
    Connection& c_;
};

}  // namespace db
