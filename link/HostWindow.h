// What the device protocols need from the main window, and no more: the code-page choice,
// a line added straight to the status log, and a chance for pending window messages to run.
// The main window implements it; tests and the command-line front end do too.
#pragma once

#include <string>

class THostWindow {
public:
    virtual ~THostWindow() = default;
    // Item index of the font code-page choice ComboBox3: 0 "Latinica", 1 "Cirilica", -1 none.
    virtual int CodePageIndex() const = 0;
    // Appends one line to the status log, apart from StatusText.
    virtual void AddLog(const std::string& line) = 0;
    // Lets pending window messages be processed inside a long command.
    virtual void ProcessMessages() {}
};
