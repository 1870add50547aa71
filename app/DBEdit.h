// An edit box bound to a column of a table object's current row: it shows the row's value
// (texts in the chosen code page), and typing into it starts editing the row and stores what
// was typed. It follows the table when the row, its data or its state change.
#pragma once

#include <QLineEdit>
#include <functional>
#include <string>

#include "CodePage.h"

namespace db {
class Table;
}

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    // `codePage` tells how text bytes are shown (asked each time, as the choice may change).
    DBEdit(db::Table& table, std::string field, std::function<CodePage()> codePage,
           QWidget* parent = nullptr);
    ~DBEdit() override;
    void Reload();  // show the row's value again
    // Stores the box's text into the row (the row must be in edit or insert state).
    void Store();

private:
    db::Table& table_;
    std::string field_;
    std::function<CodePage()> codePage_;
    bool numeric_ = false;
    bool storing_ = false;
    int subscription_;
};

// Stores the boxes' texts into the current row; a value the column cannot take is reported
// through `error` and false is returned.
bool storeAll(std::initializer_list<DBEdit*> edits, const std::function<void(const std::string&)>& error);
