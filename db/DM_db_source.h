// The data module: the one connection to tarvela.gdb, its transaction, the table objects and
// the two free statement objects, for the whole run.
#pragma once

#include <cstdint>
#include <string>

#include "Dataset.h"
#include "Firebird.h"

class Tdm_db {
public:
    Tdm_db();
    ~Tdm_db();  // commits what is pending and detaches
    Tdm_db(const Tdm_db&) = delete;
    Tdm_db& operator=(const Tdm_db&) = delete;

    static constexpr const char* FileName = "tarvela.gdb";

    // Path of the database file; the front end sets it before Open().
    std::string DatabaseName;

    // Opens DatabaseName, building a new file with every table, index and seed row when there
    // is none. Throws db::DbError with the engine's message.
    void Open();
    bool Connected() const { return SQL.attached(); }
    // Commits the transaction if one is active (at close of the main window).
    void CommitIfActive();

    // Never throw: false (or -1 for max) on failure, with the message in greska.
    bool sqlopen(const std::string& statement);
    bool sqlexec(const std::string& statement);
    int32_t max(const std::string& table, const std::string& field, const std::string& condition);

    db::Connection SQL;
    db::Table froba;
    db::Table f_por_stope;
    db::Query up;
    db::Table f_objekat;
    db::Table f_operateri;
    db::Table f_grupe_roba;
    db::Query q;
    db::Table Stope;
    db::Table porstope;

    std::string greska;
};

// "Quoted" in a statement: enclosed in single quotes, any single quote inside doubled.
std::string quotedSql(const std::string& value);
