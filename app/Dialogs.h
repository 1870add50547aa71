// Every modal message, error dialog and text prompt of the program goes through this one
// interface, so that tests and the command-line front end can answer them. Texts are the
// system's own (plain ASCII); a carriage return separates a message from its detail.
#pragma once

#include <optional>
#include <string>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void ShowError(const std::string& text) = 0;    // error dialog, OK button
    virtual void ShowMessage(const std::string& text) = 0;  // information, OK button
    // Text prompt; nullopt when cancelled.
    virtual std::optional<std::string> InputQuery(const std::string& title, const std::string& prompt,
                                                  const std::string& initial) = 0;
    // File dialogs: the chosen path, or nullopt when cancelled.
    virtual std::optional<std::string> SaveFileName(const std::string& filter) {
        (void)filter;
        return std::nullopt;
    }
    virtual std::optional<std::string> OpenFileName(const std::string& filter) {
        (void)filter;
        return std::nullopt;
    }
};

// The real dialogs, modal over `parent`.
class WidgetDialogs : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void ShowError(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    std::optional<std::string> InputQuery(const std::string& title, const std::string& prompt,
                                          const std::string& initial) override;
    std::optional<std::string> SaveFileName(const std::string& filter) override;
    std::optional<std::string> OpenFileName(const std::string& filter) override;

private:
    QWidget* parent_;
};
