// What the widget tests share: dialogs that answer from a script and record what they were
// told, and (in QtTestMain.cpp) a main() that runs the tests on Qt's offscreen platform.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Dialogs.h"

class ScriptedDialogs : public Dialogs {
public:
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> InputQuery(const std::string& title, const std::string& prompt,
                                          const std::string& initial) override {
        prompts.push_back(title + "|" + prompt + "|" + initial);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> SaveFileName(const std::string&) override { return file; }
    std::optional<std::string> OpenFileName(const std::string&) override { return file; }

    std::vector<std::string> errors, messages, prompts;
    std::deque<std::optional<std::string>> answers;  // for the text prompts, in order
    std::optional<std::string> file;                 // what both file dialogs choose
};
