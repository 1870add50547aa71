// The spreadsheet side of export and import, on libraries instead of a spreadsheet
// application: .xlsx written with libxlsxwriter, .xlsx read with libzip + pugixml, legacy .xls
// read with freexl. Texts here are UTF-8.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace workbook {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The active sheet of a workbook, its cells as texts: numbers in their shortest exact form,
// an empty cell as "". Rows and columns count from 1.
class Sheet {
public:
    const std::string& Cell(int row, int column) const;
    void Set(int row, int column, std::string text) { cells_[{row, column}] = std::move(text); }

private:
    std::map<std::pair<int, int>, std::string> cells_;
};

// Reads the active sheet of an .xlsx or .xls file. Throws Error when the file cannot be opened
// or is no workbook.
Sheet Read(const std::string& path);

// A new .xlsx workbook with one sheet.
class Writer {
public:
    explicit Writer(const std::string& path);  // throws Error
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    // A text cell; with `textFormat` the cell's number format is "@" (text).
    void Text(int row, int column, const std::string& text, bool textFormat = false);
    void Number(int row, int column, double value);
    // Widths fitted to the longest content of each column.
    void FitColumns();
    void Save();  // throws Error

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace workbook
