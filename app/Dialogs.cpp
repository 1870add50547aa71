#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {
QString shown(const std::string& text) {
    QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}
}  // namespace

void WidgetDialogs::ShowError(const std::string& text) {
    QMessageBox::critical(parent_, QApplication::applicationName(), shown(text));
}

void WidgetDialogs::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, QApplication::applicationName(), shown(text));
}

std::optional<std::string> WidgetDialogs::InputQuery(const std::string& title,
                                                     const std::string& prompt,
                                                     const std::string& initial) {
    bool ok = false;
    QString s = QInputDialog::getText(parent_, shown(title), shown(prompt), QLineEdit::Normal,
                                      shown(initial), &ok);
    if (!ok) return std::nullopt;
    QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

std::optional<std::string> WidgetDialogs::SaveFileName(const std::string& filter) {
    QString f = QFileDialog::getSaveFileName(parent_, QString(), QString(), QString::fromStdString(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::optional<std::string> WidgetDialogs::OpenFileName(const std::string& filter) {
    QString f = QFileDialog::getOpenFileName(parent_, QString(), QString(), QString::fromStdString(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}
