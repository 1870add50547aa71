#include "DM_db_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {
// Fixed in the program: nobody is ever asked for them.
constexpr const char* UserName = "ravlen";
constexpr const char* Password = "tarkovel";

bool fileExists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}
}  // namespace

Tdm_db::Tdm_db()
    : froba(SQL, db::schema::F_ROBA),
      f_por_stope(SQL, db::schema::F_POR_STOPE),
      up(SQL),
      f_objekat(SQL, db::schema::F_OBJEKAT),
      f_operateri(SQL, db::schema::F_OPERATERI),
      f_grupe_roba(SQL, db::schema::F_GRUPE_ROBA),
      q(SQL),
      Stope(SQL, db::schema::STOPE),
      porstope(SQL, db::schema::PORESKESTOPE) {
    froba.addLookup("StopaIme", "F_SIFRA_POR_STOPE", Stope, "ID", "NAZIV");
}

Tdm_db::~Tdm_db() {
    try {
        CommitIfActive();
    } catch (const db::DbError&) {
        // Every change was committed when it was made; a failing final commit loses nothing.
    }
}

void Tdm_db::Open() {
    if (fileExists(DatabaseName)) {
        SQL.attach(DatabaseName, UserName, Password);
        return;
    }
    SQL.create(DatabaseName, UserName, Password);
    try {
        db::createSchema(SQL);
    } catch (...) {
        // Never leave a half-built file behind: the next start would take it as complete.
        SQL.drop();
        throw;
    }
}

void Tdm_db::CommitIfActive() {
    if (SQL.inTransaction()) SQL.commit();
}

bool Tdm_db::sqlopen(const std::string& statement) {
    try {
        up.open(statement);
        return true;
    } catch (const std::exception& e) {
        greska = e.what();
        return false;
    }
}

bool Tdm_db::sqlexec(const std::string& statement) {
    greska.clear();
    try {
        // Each change is made durable at once; a crash must not take the session's edits.
        // A statement that changed no row has nothing to make durable (and a read of an empty
        // device slot runs one such delete per code).
        if (up.execSQL(statement) > 0) SQL.commitRetaining();
        return true;
    } catch (const std::exception& e) {
        greska = e.what();
        return false;
    }
}

int32_t Tdm_db::max(const std::string& table, const std::string& field,
                    const std::string& condition) {
    std::string sql = "select max(" + field + ") as mx from " + table;
    if (!condition.empty()) sql += "\n where " + condition;
    try {
        q.open(sql);
        return static_cast<int32_t>(q.fieldByName("mx").asInt());
    } catch (const std::exception&) {
        return -1;
    }
}

std::string quotedSql(const std::string& value) {
    std::string s = "'";
    for (char c : value) s += c == '\'' ? std::string("''") : std::string(1, c);
    return s + "'";
}
