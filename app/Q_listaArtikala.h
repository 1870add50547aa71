// The printed article list: A4 portrait, the shop's header and the title on the first page,
// column titles on every page, one line per article in the table's current order, and a page
// footer with the page number. Drawn with Qt's painter in millimetres.
#pragma once

#include <QString>
#include <string>

#include "CodePage.h"

class Tdm_db;
class QPagedPaintDevice;
class QWidget;

class TrepLA {
public:
    TrepLA(Tdm_db& dm) : dm_(dm) {}

    // Names (and the header lines) are shown in this code page.
    void setCodePage(CodePage cp) { codePage_ = cp; }

    // Draws every page on `device` (a printer or a PDF writer set to A4).
    void Render(QPagedPaintDevice& device);
    // Writes the list as a PDF file. Throws std::runtime_error when it cannot.
    void SavePdf(const std::string& path);
    // The export filters of the preview: comma-separated text, plain text, spreadsheet.
    void SaveCsv(const std::string& path);
    void SaveText(const std::string& path);
    void SaveWorkbook(const std::string& path);
    // The print preview, maximised and fitted to the page; it prints and saves.
    void Preview(QWidget* parent);

private:
    QString text(const std::string& bytes) const { return decodeText(bytes, codePage_); }
    Tdm_db& dm_;
    CodePage codePage_ = CodePage::Latinica;
};
