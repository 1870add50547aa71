#include "Markon.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "DM_db_source.h"
#include "HostWindow.h"

std::string StatusHex;
int32_t CitaniOperater = 0;

using namespace markon;

namespace {

constexpr uint8_t NoData = 0x2B;
const std::string CRLF = "\r\n";

std::string zeroPad(int64_t v, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
    return buf;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<uint8_t>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<uint8_t>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}

// A decoder's bounded copy of the answer, read field by field from position 4. No field
// reaches past the 0x04 that ends the data.
class Answer {
public:
    Answer(const uint8_t* b, size_t copy) : s_(reinterpret_cast<const char*>(b), copy) {
        end_ = s_.find('\x04', 4);
        if (end_ == std::string::npos) end_ = s_.size();
    }
    uint8_t lengthByte() const { return static_cast<uint8_t>(s_[1]); }
    bool noData() const { return lengthByte() == NoData; }
    int dataLength() const { return lengthByte() - 43; }
    char at(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }
    bool hasEnd() const { return end_ < s_.size(); }
    // The next field up to `sep` (the separator is consumed); false when it is missing.
    bool field(char sep, std::string& out) {
        size_t e = sep == '\x04' ? end_ : s_.find(sep, pos_);
        if (e == std::string::npos || e > end_ || e >= s_.size()) return false;
        out = s_.substr(pos_, e - pos_);
        pos_ = e + 1;
        return true;
    }
    bool take(size_t n, std::string& out) {
        if (pos_ + n > end_) return false;
        out = s_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    void seek(size_t pos) { pos_ = pos; }
    size_t pos() const { return pos_; }

private:
    std::string s_;
    size_t end_;
    size_t pos_ = 4;
};

// Rules 1 to 3 of every decoder: KomandaOK cleared, a bounded copy of the answer, and the
// report of an answer without data (then there is nothing to decode).
std::optional<Answer> decoderStart(TF_Podesavanje& link, const uint8_t* b, size_t copy) {
    link.KomandaOK = 0;
    Answer a(b, copy);
    if (a.noData()) {
        StatusText = "Nema podataka-ponovi upit!";
        return std::nullopt;
    }
    return a;
}

std::string badMessage(int code) { return "Neispravna poruka za funkciju " + std::to_string(code); }

}  // namespace

TMarkon::TMarkon(TF_Podesavanje& link, Tdm_db& dm, THostWindow& host)
    : link_(link), dm_(dm), host_(host) {}

void TMarkon::send(uint8_t command, const std::string& data, bool valid) {
    link_.BrojPaketa = NextSequence(link_.BrojPaketa);
    if (!valid) return;
    const auto sequence = static_cast<uint8_t>(link_.BrojPaketa);
    lastRequest_ = BuildFrame(sequence, command, data);
    TF_Podesavanje::Protocol p;
    p.checkFrame = [this, sequence] {
        link_.ArtikalPrihvacen = 0;
        bool ok = ProvjeriOkvir(link_.InputBuffer.data(), link_.InputBuffer.size(), sequence);
        if (ok) link_.ArtikalPrihvacen = 1;
        return ok;
    };
    p.dispatch = [this](const TF_Podesavanje::Buffer& b) { IspitajFunkciju3(b); };
    link_.Send_Fn3(lastRequest_.data(), static_cast<int32_t>(lastRequest_.size()), true, p);
}

// ---- general answer and dispatch -----------------------------------------------------------------

bool TMarkon::OpstiOdgovor(const uint8_t* b) {
    link_.KomandaOK = 0;
    if (b[1] == 0x2B) {
        StatusHex = Hex(b + 5, 6);
        link_.KomandaOK = 1;
        return !(b[5] & 0x20) && !(b[9] & 0x20);
    }
    if (b[1] == 0x2C) {
        StatusHex = Hex(b + 6, 6);
        if (b[4] != 'P' && b[4] != 'F') return false;
        link_.KomandaOK = 1;
        return b[4] == 'P';
    }
    return false;
}

void TMarkon::IspitajFunkciju3(const TF_Podesavanje::Buffer& buffer) {
    const uint8_t* b = buffer.data();
    StatusText = "Analiziram odgovor od kase";
    const bool success = OpstiOdgovor(b);
    // A general answer that reports a refusal is no acceptance, even in a frame that checked:
    // the article commands must not take a refused write or delete for a done one.
    if (link_.KomandaOK && !success) link_.ArtikalPrihvacen = 0;
    link_.KomandaOK = success;
    if (link_.KomandaOK) {
        StatusText = "Kasa je dala opsti odgovor";
        return;
    }
    StatusText = "Analiziram specificne odgovore";
    switch (b[3]) {
        case 48: OdgovorFn48(b, 48); break;
        case 51: link_.OdzivTekst = OdgovorFn51(b); break;
        case 50: OdgovorFn50(b); break;
        case 53: OdgovorFn53(b); break;
        case 56: OdgovorFn48(b, 56); break;
        case 62: link_.OdzivTekst = OdgovorFn62(b); break;
        case 64: OdgovorFn64(b, true, 64); break;
        case 68: OdgovorFn68(b); break;
        case 69: OdgovorFn64(b, false, 69); break;
        case 72: OdgovorFn72(b); break;
        case 74: OdgovorFn74(b); break;
        case 90: OdgovorFn90(b); break;
        case 91: OdgovorFn91(b); break;
        case 96: OdgovorFn96(b); break;
        case 97: OdgovorFn97(b); break;
        case 99: OdgovorFn99(b); break;
        case 107: OdgovorFn107(b); break;
        case 112: OdgovorFn112(b); break;
        case 114: case 128: case 152: break;  // accepted, nothing decoded
        case 131: OdgovorFn131(b); break;
        case 149: link_.OdzivTekst = OdgovorFn149(b); break;
        case 150: link_.OdzivTekst = OdgovorFn150(b, true); break;
        case 151: OdgovorFn150(b, false); break;
        case 160: link_.OdzivTekst = OdgovorFn160(b); break;
        case 102: StatusText = "Stigao odgovor na komandu upis operatera!"; break;
        case 101: StatusText = "Stigao odgovor na komandu upis sifre operatera!"; break;
        default: break;
    }
}

// ---- connect -------------------------------------------------------------------------------------

void TMarkon::PosaljiIBSA() { send(0xA3, link_.IBSA, link_.IBSA.size() == 16); }

void TMarkon::CitajIBO() {
    DeviceAnswered = false;
    send(99, "");
}

void TMarkon::OdgovorFn99(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    DeviceAnswered = true;
    std::string ibo, ipo;
    if (!a.field('\t', ibo)) return;
    link_.IBO = ibo;
    if (!a.field('\t', ipo)) return;
    StatusText = "IBO broj ocitan";
    link_.KomandaOK = 1;
}

void TMarkon::OdgovorFn74(const uint8_t* b) {
    link_.KomandaOK = 0;
    if (b[1] != 0x31) {
        StatusText = "Status se ne moze procitati-provjerite konekciju!";
        return;
    }
    StatusHex = Hex(b + 4, 6);
    int err = ((b[4] & 0x20) || (b[8] & 0x20)) ? (b[7] & 0x7F) : 0;
    StatusText = "VelmarStatus=$" + StatusHex + " ;  ErrNumberFD=" + std::to_string(err);
    link_.KomandaOK = 1;
}

// ---- tax rates -----------------------------------------------------------------------------------

void TMarkon::UpisiPoreskeStope() {
    std::string data;
    for (int i = 0; i < 4; ++i) {
        if (link_.PoreskeStope[i] == 99.99) link_.PoreskeStope[i] = -1;
        if (i) data += ',';
        data += FormatGeneral(link_.PoreskeStope[i]);
    }
    StatusText.clear();
    send(96, data);
}

void TMarkon::OdgovorFn96(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    if (a.at(4) == 'P') {
        StatusText = "Upis poreskih stopa uspjesan!";
        link_.KomandaOK = 1;
    } else if (a.at(4) == 'F') {
        StatusText = "Upis poreskih stopa nije izvrsen";
    }
}

void TMarkon::CitajPoreskeStope() { send(97, ""); }

void TMarkon::OdgovorFn97(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    std::string f[4];
    for (int i = 0; i < 4; ++i)
        if (!a.field(i < 3 ? ',' : '\x04', f[i])) {
            StatusText = badMessage(97);
            return;
        }
    for (int i = 0; i < 4; ++i) {
        double v = 0;
        if (!TryParseNumber(f[i], v)) v = 0;
        link_.PoreskeStope[i] = v == -1 ? 99.99 : v;
    }
    db::Table& t = dm_.porstope;
    if (!t.active()) t.open();
    t.edit();
    if (t.state() == db::DatasetState::Insert) t.setField("ID", 1);  // an empty table's first row
    const char* columns[] = {"A", "E", "J", "K"};
    for (int i = 0; i < 4; ++i) t.setField(columns[i], link_.PoreskeStope[i]);
    t.post();
    link_.KomandaOK = 1;
    StatusText.clear();
}

// ---- operators -----------------------------------------------------------------------------------

void TMarkon::PostaviLozinkuOperatera(int32_t newPassword) {
    send(101, zeroPad(link_.OpSifra % 10000, 4) + "," + zeroPad(link_.OpLozinka % 1000000, 6) + "," +
                  std::to_string(newPassword));
}

void TMarkon::UpisTrenutnogOperatera() {
    const db::Table& t = dm_.f_operateri;
    link_.OpSifra = static_cast<int32_t>(t.fieldByName("F_SIFRA_OPERATERA").asInt());
    link_.OpNaziv = trimmed(t.fieldByName("F_NAZIV_OPERATERA").asString());
    db::Value pw = t.fieldByName("F_LOZINKA_OPERATERA");
    const std::string password = trimmed(pw.asString());
    link_.OpLozinka = password.empty() ? link_.OpSifra : static_cast<int32_t>(ParseInteger(password));
    if (link_.OpSifra > 20) return;
    StatusText = "Komanda upis operatera";
    UpisiOperatera();
}

void TMarkon::UpisiOperatera() {
    link_.OpNaziv = KonvertujTekst(link_.OpNaziv.substr(0, 18), 'K', link_.KodnaStrana);
    StatusText = "Saljem komandu upis operatera";
    send(102, zeroPad(link_.OpSifra % 10000, 4) + "," + zeroPad(link_.OpLozinka % 1000000, 6) + "," +
                  link_.OpNaziv);
}

void TMarkon::CitajOperatera(int32_t number) {
    if (number < 1 || number > 20) {
        StatusText = "Nepravilna komanda 112!";
        send(112, "", false);
        return;
    }
    CitaniOperater = number;
    StatusText.clear();
    send(112, zeroPad(number, 2));
}

void TMarkon::CitajTrenutnogOperatera() { CitajOperatera(link_.OpSifra); }

void TMarkon::OdgovorFn112(const uint8_t* b) {
    auto start = decoderStart(link_, b, 221);
    if (!start) return;
    Answer& a = *start;
    struct Field {
        const char* name;
        char sep;
        bool integer;
    } fields[] = {{"Receipts", ',', true},        {"NumbOfSales", ';', true},  {"Total", ',', false},
                  {"NumbOfDiscount", ';', true},  {"Discount", ',', false},    {"NumbOfsurcharge", ';', true},
                  {"Surcharge", ',', false},      {"NumbOfVoid", ';', true},   {"Void", ',', false},
                  {nullptr, '\t', false},         {"NumbOfRefund", ';', true}, {"Refund", '\x04', false}};
    std::string name;
    for (const Field& f : fields) {
        std::string v;
        if (!a.field(f.sep, v)) return;
        if (!f.name) {
            name = v;
            continue;
        }
        bool ok = true;
        try {
            if (f.integer) ParseInteger(v);
            else ParseNumber(v);
        } catch (const std::invalid_argument&) {
            ok = false;
        }
        if (!ok) {
            StatusText = std::string("Markon funkcija 112-Neispravan podatak -") + f.name;
            return;
        }
    }
    link_.OpNaziv = name;
    std::string converted = KonvertujTekst(name, 'P', link_.KodnaStrana);
    db::Table& t = dm_.f_operateri;
    if (!t.active()) t.open();
    if (t.locate("F_SIFRA_OPERATERA", CitaniOperater)) t.edit();
    else t.append();
    t.setField("F_ID_KASE", 1);
    t.setField("F_SIFRA_OPERATERA", CitaniOperater);
    t.setField("F_NAZIV_OPERATERA", converted);
    t.setField("STAT", "OCI");
    t.post();
    link_.KomandaOK = 1;
}

// ---- articles ------------------------------------------------------------------------------------

void TMarkon::CitajArtikl(int32_t number) { send(107, "R" + zeroPad(number % 10000, 4)); }

void TMarkon::ObrisiArtikl(int32_t number) { send(107, "D" + std::to_string(number)); }

void TMarkon::UpisiArtikl() {
    if (link_.ArtStopa < 0 || link_.ArtStopa > 3) {
        StatusText = "Poreska stopa robe nije u dozvoljenim granicama";
        send(107, "", false);
        return;
    }
    std::string data = "P";
    data += static_cast<char>(KonvertujStopu(OznakeStopa[link_.ArtStopa], 'K'));
    data += zeroPad(link_.ArtSifra % 10000, 4) + ",";
    data += FormatFixed(link_.ArtCijena, 2) + ",";
    link_.ArtNaziv = KonvertujTekst(link_.ArtNaziv.substr(0, 18), 'K', link_.KodnaStrana);
    data += link_.ArtNaziv + "\n";
    std::string bar = trimmed(link_.ArtBarKod);
    if (bar.empty()) bar = "0";
    bar = bar.substr(0, 13);
    while (bar.size() > 1 && bar[0] == '0') bar.erase(0, 1);
    link_.ArtBarKod = bar;
    data += bar + ",";
    data += zeroPad(link_.ArtOdjeljenje % 100, 2) + ",";
    data += "1,";
    data += FormatFixed(999999.999, 3);
    send(107, data);
}

void TMarkon::OdgovorFn107(const uint8_t* b) {
    auto start = decoderStart(link_, b, 121);
    if (!start) return;
    Answer& a = *start;
    const char first = a.at(4);
    if (first == 'F') {
        StatusText = "Markon-Funkcija 107 nije izvrsena";
        link_.ArtikalPrihvacen = 0;
        return;
    }
    if (a.dataLength() == 6 && first == 'P') {
        StatusText = "Markon-Funkcija 107 UPIS/BRISANJE ARTIKALA izvrsena uspjesno!";
        link_.ArtikalPrihvacen = 1;
        link_.KomandaOK = 1;
        return;
    }
    if (first != 'P') {
        StatusText = "Artikl nije nadjen-Komanda nije izvrsena";
        link_.ArtikalPrihvacen = 0;
        return;
    }
    a.seek(6);
    std::string number, skipped, tax, price, amount, quantity, name, bar, department, quantity2;
    if (!a.field(',', number)) return;
    link_.ArtSifra = static_cast<int32_t>(ParseInteger(number.substr(0, 4)));
    if (!a.field(',', skipped) || !a.field(',', tax)) return;
    const std::string letter(1, static_cast<char>(KonvertujStopu(tax.substr(0, 1), 'P')));
    link_.ArtStopa = IndeksStope(letter) - 1;
    if (!a.field(',', price)) return;
    link_.ArtCijena = ParseNumber(price);
    if (!a.field(',', amount)) return;
    const double money = ParseNumber(amount);
    if (!a.field(',', quantity)) return;
    const double qty = ParseNumber(quantity);
    if (!a.field('\n', name)) return;
    link_.ArtNaziv = trimmed(KonvertujTekst(name, 'P', link_.KodnaStrana));
    if (!a.field(',', bar)) return;
    link_.ArtBarKod = bar;
    if (!a.take(2, department)) return;
    link_.ArtOdjeljenje = static_cast<int32_t>(ParseInteger(department));
    if (!a.take(1, skipped) || !a.field(',', skipped) || !a.field('\x04', quantity2)) return;
    const double qty2 = ParseNumber(quantity2);

    char text[256];
    std::snprintf(text, sizeof text, "%05d %-18s %13s %02d %d %s %s %s %s", link_.ArtSifra,
                  link_.ArtNaziv.substr(0, 18).c_str(), link_.ArtBarKod.substr(0, 13).c_str(),
                  link_.ArtOdjeljenje, link_.ArtStopa, FormatPattern(link_.ArtCijena, 10, 2).c_str(),
                  FormatPattern(qty2, 9, 3).c_str(), FormatPattern(qty, 9, 3).c_str(),
                  FormatPattern(money, 10, 2).c_str());
    link_.OdzivTekst = text;
    link_.KomandaOK = 1;

    const bool noName = link_.ArtNaziv.empty();
    if ((noName && link_.ArtOdjeljenje == 0 && link_.ArtCijena == 0) || link_.ArtSifra < 1) return;
    db::Table& t = dm_.froba;
    if (!t.active()) t.open();
    const bool found = t.locate("F_SIFRA_ROBE", link_.ArtSifra);
    if (noName) {
        if (found) t.deleteRecord();
        return;
    }
    if (found) t.edit();
    else t.append();
    t.setField("F_ID_KASE", 1);
    t.setField("F_SIFRA_ROBE", link_.ArtSifra);
    t.setField("F_NAZIV_ROBE", link_.ArtNaziv);
    t.setField("F_SIFRA_GRUPA", link_.ArtOdjeljenje);
    t.setField("F_SIFRA_POR_STOPE", link_.ArtStopa);
    t.setField("F_BAR_CODE", link_.ArtBarKod);
    t.setField("F_CIJENA_ROBE", std::nearbyint(link_.ArtCijena * 10000) / 10000);
    t.setField("STAT", "OCI");
    t.post();
}

// ---- departments and text lines ------------------------------------------------------------------

void TMarkon::CitajOdjeljenje(int32_t number) { send(131, "R" + zeroPad(number % 100, 2)); }

void TMarkon::OdgovorFn131(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    if (a.dataLength() == 1 && a.at(4) == 'P') {
        StatusText = "VelmarMarkon-Funkcija 131 CITANJE ODJELJENJA izvrsena uspjesno!";
        return;
    }
    if (a.at(4) != 'P') {
        StatusText = "Odjeljenje nije nadjeno-Komanda nije izvrsena";
        return;
    }
    const int department = static_cast<int>(ParseInteger(std::string{a.at(6), a.at(7)}));
    a.seek(9);
    std::string name, letterField, rest;
    if (!a.field('\n', name) || name.size() > 18) {
        StatusText = "Neispravna poruka!";
        return;
    }
    name = KonvertujTekst(name, 'P', link_.KodnaStrana);
    link_.GrupaNaziv = name;
    if (!a.take(1, letterField)) {
        StatusText = "Neispravna poruka!";
        return;
    }
    const char letter = static_cast<char>(KonvertujStopu(letterField, 'P'));
    std::string separator;
    if (!a.take(1, separator) || !a.field('\x04', rest)) {
        StatusText = "Neispravna poruka!";
        return;
    }
    std::string parts[5];
    size_t from = 0;
    for (auto& part : parts) {
        size_t comma = rest.find(',', from);
        if (comma == std::string::npos) {
            StatusText = "Neispravna poruka!";
            return;
        }
        part = rest.substr(from, comma - from);
        from = comma + 1;
    }
    double n[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i)
        if (!TryParseNumber(parts[i + 1], n[i])) n[i] = 0;
    char text[160];
    std::snprintf(text, sizeof text, "%02d %-18s %c %s %s %s", department, name.c_str(), letter,
                  FormatPattern(n[0], 9, 3).c_str(), FormatPattern(n[1], 10, 2).c_str(),
                  FormatPattern(n[2], 9, 3).c_str());
    link_.OdzivTekst = text;
    link_.KomandaOK = 1;
    if (department == 0 || name.empty()) return;
    db::Table& t = dm_.f_grupe_roba;
    if (!t.active()) t.open();
    if (t.locate("F_SIFRA_GRUPA", department)) t.edit();
    else t.append();
    t.setField("F_ID_KASE", 1);
    t.setField("F_SIFRA_GRUPA", department);
    t.setField("F_NAZIV_GRUPA", name);
    t.setField("STAT", "OCI");
    const int index = IndeksStope(std::string(1, letter));
    if (index <= 4) t.setField("PORSTOPA", index - 1);
    t.post();
}

void TMarkon::CitajTekstLiniju(int32_t line) {
    const bool valid = (line >= 40 && line <= 47) || (line >= 60 && line <= 64) || (line >= 600 && line <= 609);
    send(149, "R" + std::to_string(line), valid);
}

std::string TMarkon::OdgovorFn149(const uint8_t* b) {
    link_.KomandaOK = 0;
    Answer a(b, 100);
    if (a.noData()) return {};
    std::string line;
    if (!a.field('\x04', line)) {
        StatusText = badMessage(149);
        return {};
    }
    link_.KomandaOK = 1;
    return KonvertujTekst(line, 'P', link_.KodnaStrana);
}

std::string TMarkon::OdgovorFn150(const uint8_t* b, bool returnsText) {
    const int code = returnsText ? 150 : 151;
    auto start = decoderStart(link_, b, 100);
    if (!start) return {};
    Answer& a = *start;
    std::string data;
    if (!a.field('\x04', data)) {
        StatusText = badMessage(code);
        return {};
    }
    size_t comma = data.find(',');
    if (comma == std::string::npos) return {};
    try {
        ParseInteger(data.substr(0, comma));
    } catch (const std::invalid_argument&) {
        return {};
    }
    link_.KomandaOK = 1;
    return returnsText ? data.substr(comma + 1) : std::string();
}

// ---- fiscal receipt, report and service answers --------------------------------------------------

void TMarkon::OdgovorFn48(const uint8_t* b, int code) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    std::string total, shift;
    if (!a.field(',', total) || !a.field('\x04', shift)) {
        StatusText = badMessage(code);
        return;
    }
    link_.KomandaOK = 1;
}

void TMarkon::OdgovorFn50(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    if (!a.hasEnd()) {
        StatusText = badMessage(50);
        return;
    }
    if (a.at(4) == 'F') {
        StatusText = "Markon-Funkcija 50 CITAJ PORESKE STOPE nije uspjesno izvrsena!";
        return;
    }
    a.seek(5);
    std::string v;
    for (int i = 0; i < 4; ++i) {
        if (!a.field(',', v)) return;
        ParseNumber(v);
    }
    if (!a.field('\x04', v)) return;
    link_.KomandaOK = 1;
}

std::string TMarkon::OdgovorFn51(const uint8_t* b) {
    std::string result = "0";
    auto start = decoderStart(link_, b, 151);
    if (!start) return result;
    Answer& a = *start;
    if (!a.hasEnd()) {
        StatusText = badMessage(51);
        return result;
    }
    std::string v;
    for (int i = 0; i < 5; ++i) {
        if (!a.field(',', v)) return result;
        double amount = ParseNumber(v);
        if (i == 0) result = FormatThousands(amount);
    }
    link_.KomandaOK = 1;
    return result;
}

void TMarkon::OdgovorFn53(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    std::string data;
    if (!a.field('\x04', data) || data.empty()) {
        StatusText = badMessage(53);
        return;
    }
    const char letter = data[0];
    const double amount = ParseNumber(data.substr(1));
    if (letter == 'F') {
        StatusText = "Markon-Funkcija 53 PLACANJE nije izvrsena" + CRLF + "kod F";
        return;
    }
    std::string reason;
    switch (letter) {
        case 'D': reason = "Ukupna uplacena suma manja od racuna"; break;
        case 'E': reason = "Negativan medjurezultat"; break;
        case 'I': reason = "Neka od suma po poreskoj stopi negativna"; break;
        case 'R': reason = "Ukupna uplacena suma veca ili jednaka od racuna"; break;
    }
    link_.KomandaOK = 1;
    StatusText = "Markon-Funkcija 53 PLACANJE izvrsena" + CRLF + reason + " , Iznos =" + FormatFixed(amount, 2);
}

std::string TMarkon::OdgovorFn62(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return {};
    Answer& a = *start;
    std::string data;
    if (!a.field('\x04', data)) {
        StatusText = badMessage(62);
        return {};
    }
    link_.KomandaOK = 1;
    return data;
}

void TMarkon::OdgovorFn64(const uint8_t* b, bool withDate, int code) {
    auto start = decoderStart(link_, b, 201);
    if (!start) return;
    Answer& a = *start;
    if (!a.hasEnd()) {
        StatusText = badMessage(code);
        return;
    }
    std::string v;
    for (int i = 0; i < 10; ++i) {
        if (!a.field(',', v)) return;
        if (i == 0) ParseInteger(v);
        else ParseNumber(v);
    }
    if (withDate && !a.field('\x04', v)) return;
    link_.KomandaOK = 1;
}

void TMarkon::OdgovorFn68(const uint8_t* b) {
    auto start = decoderStart(link_, b, 201);
    if (!start) return;
    Answer& a = *start;
    std::string v;
    if (!a.field(',', v)) return;
    ParseInteger(v);
    link_.KomandaOK = 1;
}

void TMarkon::OdgovorFn72(const uint8_t* b) {
    link_.KomandaOK = 0;
    if (b[1] - 43 == 1) link_.KomandaOK = 1;
}

void TMarkon::OdgovorFn90(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    std::string version, date, time, sum, sw, country, serial, fiscal;
    if (!a.field(' ', version) || !a.field(' ', date) || !a.field(',', time) || !a.field(',', sum) ||
        !a.field(',', sw) || !a.field(',', country) || !a.field(',', serial) || !a.field('\x04', fiscal))
        return;
    StatusText = "Markon funkcija 90 DIAGNOSTICKE INFORMACIJE izvrsena!" + CRLF + "Verzija softvera =" +
                 version + CRLF + "Datum =" + date + CRLF + "Vrijeme =" + time + CRLF + "Cek suma =" + sum +
                 CRLF + "Sw =" + sw + CRLF + "Drzava =" + country + CRLF + "Serijski broj =" + serial +
                 CRLF + "Fiskalni broj =" + fiscal + CRLF;
    link_.KomandaOK = 1;
}

void TMarkon::OdgovorFn91(const uint8_t* b) {
    auto start = decoderStart(link_, b, 100);
    if (!start) return;
    Answer& a = *start;
    if (a.dataLength() == 1) return;
    std::string country;
    if (!a.field('\x04', country)) {
        StatusText = badMessage(91);
        return;
    }
    StatusText = "Markon funkcija 91 UNOS SERIJSKOG BROJA FM izvrsena!" + CRLF + "Naziv drzave =" + country + CRLF;
    link_.KomandaOK = 1;
}

std::string TMarkon::OdgovorFn160(const uint8_t* b) {
    link_.KomandaOK = 0;
    if (b[1] != 0x74) return {};
    Answer a(b, 100);
    std::string data;
    if (!a.field('\x04', data)) {
        StatusText = badMessage(160);
        return {};
    }
    size_t comma = data.find(',');
    if (comma == std::string::npos) return {};
    link_.KomandaOK = 1;
    StatusText = "Adresa " + data.substr(0, comma) + " ocitana  ";
    return data.substr(comma + 1);
}
