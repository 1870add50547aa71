// The local tables, their columns, widths and indexes: the one description from which a new
// database file is built and with which the table objects read, write and order their rows.
#pragma once

#include <string>
#include <vector>

namespace db {

class Connection;

enum class ColumnType { Float, Integer, Text };

struct ColumnDef {
    std::string name;
    ColumnType type;
    int width;  // characters (= bytes) of a text column, 0 otherwise
    bool required;
};

struct IndexDef {
    std::string name;
    std::vector<std::string> columns;
    bool unique;
};

struct TableDef {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<IndexDef> indexes;
    bool primaryKeyConstraint = false;  // first index is a PRIMARY KEY constraint, not a plain index
    // The columns that identify a row (the first unique index); empty when none does.
    std::vector<std::string> keyColumns() const;
    const ColumnDef* column(const std::string& name) const;  // case-insensitive; null if none
    const IndexDef* index(const std::string& name) const;    // case-insensitive; null if none
};

namespace schema {
extern const TableDef F_ROBA, F_POR_STOPE, F_OBJEKAT, F_OPERATERI, F_GRUPE_ROBA, STOPE, PORESKESTOPE;
const std::vector<const TableDef*>& all();
}  // namespace schema

// Builds every table and index and stores the seed rows, committing as it goes.
void createSchema(Connection& c);

bool equalsIgnoreCase(const std::string& a, const std::string& b);

}  // namespace db
