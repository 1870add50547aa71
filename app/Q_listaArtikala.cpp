#include "Q_listaArtikala.h"

#include <QAction>
#include <QDate>
#include <QFileDialog>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "DM_db_source.h"
#include "Workbook.h"

namespace {

// Page geometry in millimetres.
constexpr double PageWidth = 210, PageHeight = 297;
constexpr double MarginTop = 8, MarginBottom = 8, MarginSide = 12.7;
constexpr double TitleBand = 46.1, HeaderBand = 7.9, DetailBand = 4.4, FooterBand = 4.8;

const char* const Regular = "Liberation Sans";
const char* const Narrow = "Liberation Sans Narrow";

std::string price(const db::Value& v) {  // "########0.00"
    if (v.isNull()) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v.asFloat());
    return buf;
}

// Draws in millimetres from the left edge of the printable width and from a band's top.
class Canvas {
public:
    Canvas(QPainter& p, double unitsPerMm) : p_(p), k_(unitsPerMm) {}
    void font(const char* family, double points) {
        QFont f(family);
        f.setPixelSize(std::max(1, static_cast<int>(points * 25.4 / 72.0 * k_)));
        p_.setFont(f);
    }
    void text(double top, double left, double width, double height, Qt::Alignment align, const QString& s) {
        p_.drawText(QRectF(x(left), y(top), width * k_, height * k_), align | Qt::AlignTop | Qt::TextSingleLine, s);
    }
    void line(double top, Qt::PenStyle style, QColor color) {
        QPen pen(color);
        pen.setStyle(style);
        pen.setWidthF(0.2 * k_);
        p_.setPen(pen);
        p_.drawLine(QPointF(x(0), y(top)), QPointF(x(PageWidth - 2 * MarginSide), y(top)));
        p_.setPen(Qt::black);
    }

private:
    double x(double mm) const { return (MarginSide + mm) * k_; }
    double y(double mm) const { return mm * k_; }
    QPainter& p_;
    double k_;
};

}  // namespace

void TrepLA::Render(QPagedPaintDevice& device) {
    db::Table& articles = dm_.froba;
    db::Table& header = dm_.f_objekat;
    header.open();
    QPainter painter(&device);
    // Logical units: 0.1 mm over the whole sheet.
    const QRect page = painter.viewport();
    painter.setWindow(0, 0, static_cast<int>(PageWidth * 10), static_cast<int>(PageHeight * 10));
    painter.setViewport(page);
    Canvas c(painter, 10);

    const double bottom = PageHeight - MarginBottom - FooterBand;
    int pageNo = 1;
    double top = MarginTop;
    auto footer = [&] {
        const double f = PageHeight - MarginBottom - FooterBand;
        c.line(f, Qt::SolidLine, Qt::black);
        c.font(Regular, 7);
        c.text(f + 0.5, 0.7, 56.7, FooterBand, Qt::AlignLeft, "ZENTOR fiskalni program - sifarnik roba");
        c.font(Narrow, 8);
        c.text(f + 0.5, 160.3, 24.3, FooterBand, Qt::AlignRight, QString("Strana %1").arg(pageNo));
    };
    auto columnHeader = [&] {
        c.font(Regular, 11);
        c.text(top, 0, 18.5, HeaderBand, Qt::AlignLeft, "Sifra Robe");
        c.text(top, 19.5, 29.8, HeaderBand, Qt::AlignLeft, "Barcode");
        c.text(top, 50.3, 82.0, HeaderBand, Qt::AlignLeft, "Naziv");
        c.text(top, 133.3, 9.9, HeaderBand, Qt::AlignHCenter, "Grupa");
        c.text(top, 145.2, 21.5, HeaderBand, Qt::AlignHCenter, "Poreska stopa");
        c.text(top, 168.7, 15.2, HeaderBand, Qt::AlignRight, "Cijena");
        top += HeaderBand;
    };

    // Title band, first page only.
    const char* lines[] = {"F_NAZIV_FIRME", "F_ADRESA_FIRME", "F_TEL_BROJ", "F_NAZIV_OBJEKTA", "F_STAT_BROJ"};
    const double at[] = {0.2, 6.0, 11.7, 17.4, 23.2};
    c.font(Regular, 10);
    for (int i = 0; i < 5; ++i)
        c.text(top + at[i], 0, 120, 6, Qt::AlignLeft,
               header.isEmpty() ? QString() : text(header.fieldByName(lines[i]).asString()));
    c.font(Narrow, 9);
    c.text(top, 139.3, 45.2, 6, Qt::AlignRight, "Datum stampe: " + QDate::currentDate().toString("dd.MM.yyyy"));
    c.font(Regular, 16);
    c.text(top + 31.3, 59.3, 65.9, 9, Qt::AlignHCenter, "Lista artikala fiskalne kase");
    top += TitleBand;
    columnHeader();

    for (int r = 0; r < articles.recordCount(); ++r) {
        if (top + DetailBand > bottom) {
            footer();
            device.newPage();
            ++pageNo;
            top = MarginTop;
            columnHeader();
        }
        c.font(Regular, 8);
        auto v = [&](const char* f) { return articles.valueAt(r, articles.columnIndex(f)); };
        c.text(top, 1.1, 17.4, DetailBand, Qt::AlignLeft, QString::fromStdString(v("F_SIFRA_ROBE").asString()));
        c.text(top, 19.8, 29.3, DetailBand, Qt::AlignLeft, text(v("F_BAR_CODE").asString()));
        c.text(top, 50.5, 81.4, DetailBand, Qt::AlignLeft, text(v("F_NAZIV_ROBE").asString()));
        c.text(top, 133.2, 9.9, DetailBand, Qt::AlignHCenter, QString::fromStdString(v("F_SIFRA_GRUPA").asString()));
        c.text(top, 145.1, 21.6, DetailBand, Qt::AlignHCenter, QString::fromStdString(v("F_SIFRA_POR_STOPE").asString()));
        c.text(top, 168.7, 15.2, DetailBand, Qt::AlignRight, QString::fromStdString(price(v("F_CIJENA_ROBE"))));
        c.line(top + 3.3, Qt::DotLine, Qt::gray);
        top += DetailBand;
    }
    footer();
}

void TrepLA::SavePdf(const std::string& path) {
    QPdfWriter pdf(QString::fromStdString(path));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(600);
    pdf.setTitle("Lista Artikala");
    Render(pdf);
    if (!std::ifstream(path).good()) throw std::runtime_error("Cannot write " + path);
}

namespace {
template <class Line>
void eachArticle(Tdm_db& dm, Line line) {
    db::Table& t = dm.froba;
    for (int r = 0; r < t.recordCount(); ++r) {
        auto v = [&](const char* f) { return t.valueAt(r, t.columnIndex(f)); };
        line(v("F_SIFRA_ROBE").asString(), v("F_BAR_CODE").asString(), v("F_NAZIV_ROBE").asString(),
             v("F_SIFRA_GRUPA").asString(), v("F_SIFRA_POR_STOPE").asString(), price(v("F_CIJENA_ROBE")));
    }
}
}  // namespace

void TrepLA::SaveCsv(const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f << "Sifra Robe,Barcode,Naziv,Grupa,Poreska stopa,Cijena\n";
    eachArticle(dm_, [&](auto code, auto bar, auto name, auto group, auto rate, auto cost) {
        QString n = text(name);
        if (n.contains(',') || n.contains('"')) n = '"' + n.replace("\"", "\"\"") + '"';
        f << code << ',' << bar << ',' << n.toStdString() << ',' << group << ',' << rate << ',' << cost << '\n';
    });
    if (!f) throw std::runtime_error("Cannot write " + path);
}

void TrepLA::SaveText(const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f << "Lista artikala fiskalne kase\n\n";
    eachArticle(dm_, [&](auto code, auto bar, auto name, auto group, auto rate, auto cost) {
        char line[256];
        std::snprintf(line, sizeof line, "%-10s %-14s %-32s %5s %5s %12s\n", code.c_str(), bar.c_str(),
                      text(name).toStdString().c_str(), group.c_str(), rate.c_str(), cost.c_str());
        f << line;
    });
    if (!f) throw std::runtime_error("Cannot write " + path);
}

void TrepLA::SaveWorkbook(const std::string& path) {
    workbook::Writer w(path);
    const char* titles[] = {"Sifra Robe", "Barcode", "Naziv", "Grupa", "Poreska stopa", "Cijena"};
    for (int c = 0; c < 6; ++c) w.Text(1, c + 1, titles[c]);
    int row = 1;
    eachArticle(dm_, [&](auto code, auto bar, auto name, auto group, auto rate, auto cost) {
        ++row;
        w.Text(row, 1, code);
        w.Text(row, 2, bar, true);
        w.Text(row, 3, text(name).toStdString());
        w.Text(row, 4, group);
        w.Text(row, 5, rate);
        w.Text(row, 6, cost);
    });
    w.FitColumns();
    w.Save();
}

void TrepLA::Preview(QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle("Lista Artikala");
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [this](QPrinter* p) { Render(*p); });
    if (auto* bar = dialog.findChild<QToolBar*>()) {
        struct Filter {
            const char* label;
            const char* filter;
            void (TrepLA::*save)(const std::string&);
        } filters[] = {{"PDF", "PDF (*.pdf)", &TrepLA::SavePdf},
                       {"Excel", "Excel (*.xlsx)", &TrepLA::SaveWorkbook},
                       {"CSV", "CSV (*.csv)", &TrepLA::SaveCsv},
                       {"Tekst", "Tekst (*.txt)", &TrepLA::SaveText}};
        bar->addSeparator();
        for (const auto& f : filters) {
            QObject::connect(bar->addAction(QString("Sacuvaj ") + f.label), &QAction::triggered, &dialog, [&, f] {
                QString file = QFileDialog::getSaveFileName(&dialog, QString(), QString(), f.filter);
                if (!file.isEmpty()) (this->*f.save)(file.toStdString());
            });
        }
    }
    dialog.setWindowState(Qt::WindowMaximized);
    dialog.exec();
}
