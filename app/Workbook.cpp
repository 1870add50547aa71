#include "Workbook.h"

#include <freexl.h>
#include <pugixml.hpp>
#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "Value.h"

namespace workbook {

namespace {

const std::string Empty;

// A number cell's text: the shortest form that reads back as the same number ("1", "12.5").
std::string numberText(const std::string& raw) {
    double d = 0;
    auto r = std::from_chars(raw.data(), raw.data() + raw.size(), d);
    if (r.ec != std::errc() || r.ptr != raw.data() + raw.size()) return raw;
    return db::formatFloat(d);
}

// "B12" → row 12, column 2.
bool cellRef(const char* ref, int& row, int& column) {
    column = 0;
    const char* p = ref;
    while (*p >= 'A' && *p <= 'Z') column = column * 26 + (*p++ - 'A' + 1);
    row = 0;
    while (*p >= '0' && *p <= '9') row = row * 10 + (*p++ - '0');
    return column > 0 && row > 0 && *p == 0;
}

class Zip {
public:
    explicit Zip(const std::string& path) {
        int err = 0;
        z_ = zip_open(path.c_str(), ZIP_RDONLY, &err);
        if (!z_) throw Error("not a workbook");
    }
    ~Zip() { zip_discard(z_); }
    bool Has(const std::string& name) const { return zip_name_locate(z_, name.c_str(), 0) >= 0; }
    std::string Entry(const std::string& name) const {
        zip_stat_t st;
        if (zip_stat(z_, name.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            throw Error("workbook part missing: " + name);
        if (st.size > 512u * 1024 * 1024) throw Error("workbook part too large: " + name);
        std::string data(st.size, '\0');
        zip_file_t* f = zip_fopen(z_, name.c_str(), 0);
        if (!f) throw Error("workbook part unreadable: " + name);
        zip_int64_t n = zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        if (n != static_cast<zip_int64_t>(st.size)) throw Error("workbook part unreadable: " + name);
        return data;
    }

private:
    zip_t* z_;
};

pugi::xml_document parse(const std::string& text) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) throw Error("workbook part is no XML");
    return doc;
}

// Every text run of a shared or inline string, in order.
std::string runs(const pugi::xml_node& si) {
    std::string s;
    for (auto t : si.select_nodes(".//*[local-name()='t']")) s += t.node().text().get();
    return s;
}

Sheet readXlsx(const std::string& path) {
    Zip zip(path);
    if (!zip.Has("xl/workbook.xml")) throw Error("not a workbook");
    auto book = parse(zip.Entry("xl/workbook.xml"));
    auto root = book.document_element();
    int active = root.child("bookViews").child("workbookView").attribute("activeTab").as_int(0);
    std::vector<std::string> ids;
    for (auto s : root.child("sheets").children("sheet")) ids.push_back(s.attribute("r:id").value());
    if (ids.empty()) throw Error("workbook without sheets");
    const std::string id = ids[std::clamp<size_t>(static_cast<size_t>(std::max(active, 0)), 0, ids.size() - 1)];
    auto rels = parse(zip.Entry("xl/_rels/workbook.xml.rels"));
    std::string target;
    for (auto r : rels.document_element().children("Relationship"))
        if (id == r.attribute("Id").value()) target = r.attribute("Target").value();
    if (target.empty()) throw Error("workbook sheet not found");
    if (target[0] == '/') target.erase(0, 1);
    else target = "xl/" + target;

    std::vector<std::string> shared;
    if (zip.Has("xl/sharedStrings.xml")) {
        auto sst = parse(zip.Entry("xl/sharedStrings.xml"));
        for (auto si : sst.document_element().children("si")) shared.push_back(runs(si));
    }
    Sheet sheet;
    auto doc = parse(zip.Entry(target));
    for (auto row : doc.document_element().child("sheetData").children("row")) {
        for (auto c : row.children("c")) {
            int r = 0, col = 0;
            if (!cellRef(c.attribute("r").value(), r, col)) continue;
            const std::string type = c.attribute("t").value();
            const std::string v = c.child("v").text().get();
            std::string text;
            if (type == "s") {
                size_t i = static_cast<size_t>(c.child("v").text().as_uint());
                if (i < shared.size()) text = shared[i];
            } else if (type == "inlineStr") {
                text = runs(c.child("is"));
            } else if (type == "str" || type == "e") {
                text = v;
            } else if (type == "b") {
                text = v == "1" ? "TRUE" : "FALSE";
            } else {
                text = numberText(v);
            }
            if (!text.empty()) sheet.Set(r, col, std::move(text));
        }
    }
    return sheet;
}

Sheet readXls(const std::string& path) {
    const void* h = nullptr;
    struct Close {
        const void*& h;
        ~Close() {
            if (h) freexl_close(h);
        }
    } close{h};
    if (freexl_open(path.c_str(), &h) != FREEXL_OK) throw Error("not a workbook");
    unsigned short active = 0;
    freexl_get_active_worksheet(h, &active);
    if (freexl_select_active_worksheet(h, active) != FREEXL_OK) throw Error("workbook without sheets");
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_worksheet_dimensions(h, &rows, &cols) != FREEXL_OK) throw Error("workbook sheet unreadable");
    Sheet sheet;
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < cols; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
            std::string text;
            switch (v.type) {
                case FREEXL_CELL_INT: text = std::to_string(v.value.int_value); break;
                case FREEXL_CELL_DOUBLE: text = db::formatFloat(v.value.double_value); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME: text = v.value.text_value ? v.value.text_value : ""; break;
                default: break;
            }
            if (!text.empty()) sheet.Set(static_cast<int>(r) + 1, c + 1, std::move(text));
        }
    }
    return sheet;
}

}  // namespace

const std::string& Sheet::Cell(int row, int column) const {
    auto it = cells_.find({row, column});
    return it == cells_.end() ? Empty : it->second;
}

Sheet Read(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw Error(std::strerror(errno));
    unsigned char magic[4] = {};
    size_t n = std::fread(magic, 1, 4, f);
    std::fclose(f);
    if (n == 4 && magic[0] == 'P' && magic[1] == 'K') return readXlsx(path);
    if (n == 4 && magic[0] == 0xD0 && magic[1] == 0xCF && magic[2] == 0x11 && magic[3] == 0xE0) return readXls(path);
    throw Error("not a workbook");
}

struct Writer::Impl {
    std::string path;
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* text = nullptr;
    std::map<int, size_t> widths;
    void note(int column, size_t length) { widths[column] = std::max(widths[column], length); }
};

Writer::Writer(const std::string& path) : d(std::make_unique<Impl>()) {
    d->path = path;
    d->book = workbook_new(path.c_str());
    if (!d->book) throw Error("cannot create workbook");
    d->sheet = workbook_add_worksheet(d->book, nullptr);
    d->text = workbook_add_format(d->book);
    format_set_num_format(d->text, "@");
}

Writer::~Writer() {
    if (d->book) workbook_close(d->book);  // an unsaved workbook is still released
}

void Writer::Text(int row, int column, const std::string& text, bool textFormat) {
    worksheet_write_string(d->sheet, static_cast<lxw_row_t>(row - 1), static_cast<lxw_col_t>(column - 1),
                           text.c_str(), textFormat ? d->text : nullptr);
    d->note(column, text.size());
}

void Writer::Number(int row, int column, double value) {
    worksheet_write_number(d->sheet, static_cast<lxw_row_t>(row - 1), static_cast<lxw_col_t>(column - 1), value,
                           nullptr);
    d->note(column, db::formatFloat(value).size());
}

void Writer::FitColumns() {
    for (auto [column, length] : d->widths)
        worksheet_set_column(d->sheet, static_cast<lxw_col_t>(column - 1), static_cast<lxw_col_t>(column - 1),
                             std::min<double>(static_cast<double>(length) + 2, 100), nullptr);
}

void Writer::Save() {
    lxw_error e = workbook_close(d->book);
    d->book = nullptr;
    if (e != LXW_NO_ERROR) throw Error(d->path + ": " + lxw_strerror(e));
}

}  // namespace workbook
