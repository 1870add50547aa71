#include "Schema.h"

#include <algorithm>
#include <cctype>

#include "Firebird.h"

namespace db {

namespace {
constexpr ColumnType F = ColumnType::Float;
constexpr ColumnType I = ColumnType::Integer;
constexpr ColumnType T = ColumnType::Text;

std::string columnSql(const ColumnDef& c) {
    std::string s = c.name + " ";
    switch (c.type) {
        case ColumnType::Float: s += "DOUBLE PRECISION"; break;
        case ColumnType::Integer: s += "INTEGER"; break;
        // Character set NONE: names keep their Windows-1250/1251 bytes exactly.
        case ColumnType::Text:
            s += "VARCHAR(" + std::to_string(c.width) + ") CHARACTER SET NONE";
            break;
    }
    if (c.required) s += " NOT NULL";
    return s;
}

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
    return s;
}
}  // namespace

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> TableDef::keyColumns() const {
    for (const auto& i : indexes)
        if (i.unique) return i.columns;
    return {};
}

const ColumnDef* TableDef::column(const std::string& n) const {
    for (const auto& c : columns)
        if (equalsIgnoreCase(c.name, n)) return &c;
    return nullptr;
}

const IndexDef* TableDef::index(const std::string& n) const {
    for (const auto& i : indexes)
        if (equalsIgnoreCase(i.name, n)) return &i;
    return nullptr;
}

// The key indexes of the master-data tables are unique indexes rather than PRIMARY KEY
// constraints, because their device-number column F_ID_KASE is not a required column.
namespace schema {
const TableDef F_ROBA{"F_ROBA",
                      {{"F_ID_KASE", F, 0, false},
                       {"F_SIFRA_ROBE", F, 0, true},
                       {"F_BAR_CODE", T, 14, false},
                       {"F_NAZIV_ROBE", T, 32, false},
                       {"F_SIFRA_GRUPA", F, 0, false},
                       {"F_SIFRA_POR_STOPE", F, 0, false},
                       {"F_CIJENA_ROBE", F, 0, false},
                       {"F_KOLICINA", F, 0, false},
                       {"STAT", T, 3, false}},
                      {{"PK_F_ROBA", {"F_ID_KASE", "F_SIFRA_ROBE"}, true},
                       {"NAZIV_ROBE", {"F_NAZIV_ROBE"}, false},
                       {"BAR_CODE", {"F_BAR_CODE"}, false},
                       {"FROBASIFRA", {"F_SIFRA_ROBE"}, false},
                       {"I_ASC_F_CIJENA_ROBE", {"F_CIJENA_ROBE"}, false},
                       {"I_ASC_F_SIFRA_GRUPA", {"F_SIFRA_GRUPA"}, false},
                       {"I_ASC_F_SIFRA_POR_STOPE", {"F_SIFRA_POR_STOPE"}, false}}};

const TableDef F_POR_STOPE{"F_POR_STOPE",
                           {{"F_ID_KASE", F, 0, false},
                            {"F_SIFRA_POR_STOPE", F, 0, true},
                            {"F_NAZIV_POR_STOPE", T, 20, false},
                            {"F_STOPA_POREZA", F, 0, false}},
                           {}};

const TableDef F_OBJEKAT{"F_OBJEKAT",
                         {{"F_ID_KASE", F, 0, false},
                          {"F_RBR", F, 0, false},
                          {"F_NAZIV_OBJEKTA", T, 32, false},
                          {"F_TEL_BROJ", T, 32, false},
                          {"F_NAZIV_FIRME", T, 31, false},
                          {"F_ADRESA_FIRME", T, 32, false},
                          {"F_STAT_BROJ", T, 32, false}},
                         {{"PK_F_OBJEKAT", {"F_ID_KASE", "F_RBR"}, true}}};

const TableDef F_OPERATERI{"F_OPERATERI",
                           {{"F_ID_KASE", F, 0, false},
                            {"F_SIFRA_OPERATERA", F, 0, false},
                            {"F_NAZIV_OPERATERA", T, 32, false},
                            {"F_LOZINKA_OPERATERA", T, 16, false},
                            {"STAT", T, 3, false}},
                           {{"PK_F_OPERATERI", {"F_ID_KASE", "F_SIFRA_OPERATERA"}, true}}};

const TableDef F_GRUPE_ROBA{"F_GRUPE_ROBA",
                            {{"F_ID_KASE", F, 0, false},
                             {"F_SIFRA_GRUPA", F, 0, false},
                             {"F_NAZIV_GRUPA", T, 32, false},
                             {"STAT", T, 3, false},
                             {"PORSTOPA", I, 0, false}},
                            {{"PK_F_GRUPE_ROBA", {"F_ID_KASE", "F_SIFRA_GRUPA"}, true}}};

const TableDef STOPE{"STOPE",
                     {{"ID", I, 0, true}, {"NAZIV", T, 20, false}},
                     {{"PK_STOPE", {"ID"}, true}},
                     true};

const TableDef PORESKESTOPE{"PORESKESTOPE",
                            {{"ID", I, 0, true},
                             {"A", F, 0, false},
                             {"E", F, 0, false},
                             {"J", F, 0, false},
                             {"K", F, 0, false}},
                            {}};

const std::vector<const TableDef*>& all() {
    static const std::vector<const TableDef*> v{&F_ROBA,       &F_POR_STOPE, &F_OBJEKAT,   &F_OPERATERI,
                                                &F_GRUPE_ROBA, &STOPE,       &PORESKESTOPE};
    return v;
}
}  // namespace schema

void createSchema(Connection& c) {
    for (const TableDef* t : schema::all()) {
        std::string sql = "CREATE TABLE " + t->name + " (";
        for (size_t i = 0; i < t->columns.size(); ++i)
            sql += (i ? ", " : "") + columnSql(t->columns[i]);
        if (t->primaryKeyConstraint && !t->indexes.empty())
            sql += ", CONSTRAINT " + t->indexes[0].name + " PRIMARY KEY (" +
                   joined(t->indexes[0].columns) + ")";
        c.execute(sql + ")");
        for (size_t i = t->primaryKeyConstraint ? 1 : 0; i < t->indexes.size(); ++i) {
            const IndexDef& x = t->indexes[i];
            c.execute(std::string("CREATE ") + (x.unique ? "UNIQUE " : "") + "INDEX " + x.name +
                      " ON " + t->name + " (" + joined(x.columns) + ")");
        }
    }
    c.commit();
    const char* names[] = {"A", "E", "J", "K"};
    for (int id = 0; id < 4; ++id) c.execute("INSERT INTO STOPE (ID, NAZIV) VALUES (?, ?)", {id, names[id]});
    // Rates of a common VAT set-up; 99.99 marks a rate the shop may not use.
    c.execute("INSERT INTO PORESKESTOPE (ID, A, E, J, K) VALUES (1, 0, 17, 99.99, 99.99)");
    c.commit();
}

}  // namespace db
