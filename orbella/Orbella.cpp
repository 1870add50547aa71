#include "Orbella.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "DM_db_source.h"
#include "HostWindow.h"

using orbella::Bytes;

namespace {

// Blanks here are all characters up to and including the space.
std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<uint8_t>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<uint8_t>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}

std::string upToZero(const uint8_t* p, size_t max) {
    size_t n = 0;
    while (n < max && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void appendText(Bytes& data, const std::string& s) {
    data.insert(data.end(), s.begin(), s.end());
}

// Money and amounts in hundredths, rounded to the nearest, halves to the even neighbour.
uint32_t hundredths(double v) {
    return static_cast<uint32_t>(static_cast<int64_t>(std::nearbyint(v * 100.0)));
}

void ensureOpen(db::Table& t) {
    if (!t.active()) t.open();
}

}  // namespace

TOrbella::TOrbella(TF_Podesavanje& link, Tdm_db& dm, THostWindow& host)
    : Pause([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      link_(link),
      dm_(dm),
      host_(host) {}

void TOrbella::appendIbsa(Bytes& data) const { appendText(data, link_.IBSA); }

void TOrbella::send(uint8_t command, const Bytes& data) {
    if (data.size() > orbella::MaxData) {
        StatusText = "IBSA je predugacak (" + std::to_string(link_.IBSA.size()) +
                     " znakova): komanda nije poslata kasi";
        return;
    }
    link_.BrojPaketa = orbella::NextSequence(link_.BrojPaketa);
    lastRequest_ = orbella::BuildFrame(link_.AdresaKase, link_.IBFKBajtovi,
                                       static_cast<uint8_t>(link_.BrojPaketa), command, data);
    TF_Podesavanje::Protocol p;
    p.checkFrame = [this] {
        return orbella::ProvjeriOdziv(link_.InputBuffer.data(), link_.InputBuffer.size(), link_.AdresaKase);
    };
    p.dispatch = [this](const TF_Podesavanje::Buffer& b) { IspitajFunkciju2(b); };
    link_.Send_Fn2(lastRequest_.data(), static_cast<int32_t>(lastRequest_.size()), true, p);
}

// ---- dispatch ------------------------------------------------------------------------------------

void TOrbella::IspitajFunkciju2(const TF_Podesavanje::Buffer& buffer) {
    const uint8_t* b = buffer.data();
    if (b[0] == 0x00) {
        StatusText = "Nema odziva od kase!";
        return;
    }
    if (b[0] != 0xAA) return;
    link_.ArtikalPrihvacen = 0;
    if (!orbella::ProvjeriOdziv(b, buffer.size(), link_.AdresaKase)) {
        StatusText = "Neispravan format odziva!";
        return;
    }
    const uint8_t code = b[7];
    StatusText = "Kasa odgovorila na komandu odziv " + std::to_string(code);
    switch (code) {
        case 0x1C: link_.KomandaOK = 1; break;  // OdzivSpreman
        case 0x1F: link_.KomandaOK = 1; break;  // OdzivPotvrda: the general acknowledgement
        case 0x33: case 0x35: case 0x36: case 0x37: case 0x38: case 0x3A:
        case 0x3D: case 0x3E: case 0x3F: case 0x40: case 0x41: case 0x42: case 0x43: case 0x44:
        case 0x45: case 0x46: case 0x47: case 0x48: case 0x49: case 0x4A:
            link_.OdzivTekst = OdzivHex(b);
            break;
        case 0x62: link_.OdzivTekst = OdzivBlok(b, 0x42, 2, 64, false); break;
        case 0x63: link_.OdzivTekst = OdzivBlok(b, 0x41, 1, 64, false); break;
        case 0x65: OdzivCitajRedZaglavlja(b); break;
        case 0x66: OdzivUpisRedaZaglavlja(b); break;
        case 0x67: OdzivIdentifikacija(b); break;
        case 0x6B: OdzivCitajPoreskuStopu(b); break;
        case 0x6C: OdzivUpisPoreskihStopa(b); break;
        case 0x6F: OdzivCitajGrupu(b); break;
        case 0x70: OdzivUpisGrupe(b); break;
        case 0x71: OdzivCitajOdjeljenje(b); break;
        case 0x72: link_.KomandaOK = b[9] == static_cast<uint8_t>(link_.ArtOdjeljenje); break;
        case 0x73: OdzivCitajArtikal(b); break;
        case 0x74: link_.ArtikalPrihvacen = OdzivUpisArtikla(b); break;
        case 0x75: OdzivCitajOperatera(b); break;
        case 0x76: OdzivUpisOperatera(b); break;
        case 0x77: link_.KomandaOK = 1; break;  // Odziv77
        case 0x79: link_.KomandaOK = LastCommand == 0x79; break;  // OdzivIzlazVezaSaPC
        case 0x7B: link_.OdzivTekst = OdzivBlok(b, 0x3F, 3, 60, false); break;
        case 0x7C:
            link_.OdzivTekst.clear();
            link_.OdzivTekst = OdzivBlok(b, -1, 0, 26, true);
            break;
        case 0x7D: break;  // Odziv7D
        case 0x7F: link_.OdzivTekst = OdzivBlok(b, 0x74, 2, 114, false); break;
        default: break;
    }
}

std::string TOrbella::OdzivHex(const uint8_t* b) {
    link_.KomandaOK = 0;
    const uint8_t n = b[8];
    std::string s = orbella::HexText(std::array<uint8_t, 1>{static_cast<uint8_t>(n + 1)}.data(), 1);
    s += orbella::HexText(b + 7, 1);
    s += orbella::HexText(b + 9, n);
    link_.KomandaOK = 1;
    return s;
}

// Dumps `count` data bytes from data byte `first` when n is `n` (any n when n < 0).
std::string TOrbella::OdzivBlok(const uint8_t* b, int n, int first, int count, bool padTo64) {
    link_.KomandaOK = 0;
    if (n >= 0 && b[8] != n) return {};
    std::string s = orbella::HexText(b + 9 + first, static_cast<size_t>(count));
    if (padTo64)
        while (s.size() < 64) s += "00";
    link_.KomandaOK = 1;
    return s;
}

// ---- identification and end of link --------------------------------------------------------------

void TOrbella::ZahtjevIdentifikacija() {
    DeviceAnswered = false;
    send(0x67, {});
}

void TOrbella::OdzivIdentifikacija(const uint8_t* b) {
    DeviceAnswered = true;
    link_.KomandaOK = 0;
    link_.IBO.assign(reinterpret_cast<const char*>(b + 20), 13);
}

void TOrbella::ZahtjevIzlazVezaSaPC() { send(0x79, {}); }

// ---- articles ------------------------------------------------------------------------------------

void TOrbella::ZahtjevCitajArtikal(int32_t code) {
    if (code - 1 < 0 || code >= 12000) return;
    Bytes data;
    orbella::putLe16(data, static_cast<uint16_t>(code - 1));
    send(0x73, data);
}

void TOrbella::OdzivCitajArtikal(const uint8_t* b) {
    link_.KomandaOK = 0;
    link_.OdzivTekst.clear();
    link_.ArtSifra = orbella::le16(b + 9) + 1;
    link_.ArtNaziv = upToZero(b + 11, 37);
    if (!orbella::ImaTeksta(link_.ArtNaziv)) {
        link_.KomandaOK = 1;
        dm_.sqlexec("Delete from f_roba where f_sifra_robe=" + std::to_string(link_.ArtSifra));
        link_.ArtSifra = 0;
        return;
    }
    link_.ArtNaziv = orbella::IzKaseTekst(link_.ArtNaziv, host_.CodePageIndex());
    link_.ArtOdjeljenje = (b[56] & 0x0F) + 1;
    link_.ArtCijena = orbella::le32(b + 57) / 100.0;
    link_.ArtStopa = b[55] & 0x0F;
    link_.ArtBarKod = orbella::HexText(b + 48, 7);
    for (char& c : link_.ArtBarKod)
        if (c == 'F') c = ' ';

    db::Table& t = dm_.froba;
    ensureOpen(t);
    try {
        if (t.locate("F_SIFRA_ROBE", link_.ArtSifra)) t.edit();
        else t.append();
        t.setField("F_ID_KASE", 1);
        t.setField("F_SIFRA_ROBE", link_.ArtSifra);
        t.setField("F_NAZIV_ROBE", link_.ArtNaziv);
        t.setField("F_SIFRA_GRUPA", link_.ArtOdjeljenje);
        t.setField("F_SIFRA_POR_STOPE", link_.ArtStopa);
        t.setField("F_BAR_CODE", link_.ArtBarKod);
        t.setField("F_CIJENA_ROBE", link_.ArtCijena);
        t.setField("STAT", "OCI");
        t.post();
    } catch (const std::exception&) {
        t.cancel();
        host_.AddLog("Greska upisa u tabelu roba!");
    }
    link_.KomandaOK = 1;
}

void TOrbella::ZahtjevUpisArtikla() {
    link_.ArtikalPrihvacen = 0;
    std::string name = trimmed(link_.ArtNaziv);
    if (name.empty()) name.assign(36, '\xFF');
    if (name.size() < 36) name.append(36 - name.size(), ' ');
    name.resize(36);
    name += '\0';
    link_.ArtNaziv = orbella::UKasuTekst(name);

    std::string bar = "00000000000000" + trimmed(link_.ArtBarKod);
    if (bar.size() > 14) bar = bar.substr(bar.size() - 14);
    link_.ArtBarKod = bar;
    std::array<uint8_t, 7> packed{};
    for (int i = 0; i < 7; ++i)
        if (!orbella::HexPair(bar.data() + 2 * i, packed[i]))
            throw std::invalid_argument(std::string("'").append(bar, 2 * i, 2) +
                                        "' is not a valid hexadecimal number");

    Bytes data;
    orbella::putLe16(data, static_cast<uint16_t>(link_.ArtSifra - 1));
    appendText(data, link_.ArtNaziv);
    data.insert(data.end(), packed.begin(), packed.end());
    data.push_back(static_cast<uint8_t>(link_.ArtStopa));
    data.push_back(static_cast<uint8_t>(link_.ArtOdjeljenje - 1));
    orbella::putLe32(data, hundredths(link_.ArtCijena));
    orbella::putLe32(data, 0);
    appendIbsa(data);
    send(0x74, data);
}

bool TOrbella::OdzivUpisArtikla(const uint8_t* b) {
    link_.KomandaOK = 0;
    bool accepted = b[8] == 2 && orbella::le16(b + 9) + 1 == link_.ArtSifra;
    if (accepted) {
        link_.KomandaOK = 1;
        StatusText = "Prihvaceno";
    } else {
        StatusText = "Odbijeno";
    }
    return accepted;
}

void TOrbella::ObrisiArtikal(int32_t code) {
    link_.SetEmptyArticle(code);
    ZahtjevUpisArtikla();
}

// ---- groups --------------------------------------------------------------------------------------

void TOrbella::ZahtjevCitajGrupu(int32_t index) { send(0x6F, {static_cast<uint8_t>(index)}); }

void TOrbella::OdzivCitajGrupu(const uint8_t* b) {
    link_.KomandaOK = 0;
    link_.OdzivTekst.clear();
    link_.ArtOdjeljenje = b[9] + 1;
    StatusText = "Ocitana grupa robe " + std::to_string(link_.ArtOdjeljenje);
    std::string field(reinterpret_cast<const char*>(b + 10), 19);
    db::Table& t = dm_.f_grupe_roba;
    ensureOpen(t);
    if (!orbella::ImaTeksta(field.substr(0, 19))) {
        link_.GrupaNaziv.clear();
        link_.KomandaOK = 1;
        if (t.locate("F_SIFRA_GRUPA", link_.ArtOdjeljenje)) {
            t.deleteRecord();
            t.refresh();
        }
        return;
    }
    link_.GrupaNaziv = orbella::IzKaseTekst(field.substr(0, 18), host_.CodePageIndex());
    if (t.locate("F_SIFRA_GRUPA", link_.ArtOdjeljenje)) t.edit();
    else t.append();
    t.setField("F_ID_KASE", 0);
    t.setField("F_SIFRA_GRUPA", link_.ArtOdjeljenje);
    t.setField("F_NAZIV_GRUPA", link_.GrupaNaziv);
    t.setField("PORSTOPA", b[29] & 0x0F);
    t.setField("STAT", "OCI");
    t.post();
    link_.KomandaOK = 1;
}

void TOrbella::ZahtjevUpisGrupe(const std::string& name, int32_t number, int32_t high, int32_t tax,
                                double amount) {
    Bytes data{static_cast<uint8_t>(number)};
    std::string field = name;
    if (field.size() < 18) field.append(18 - field.size(), ' ');
    field.resize(18);
    field += '\0';
    appendText(data, orbella::UKasuTekst(field));
    data.push_back(static_cast<uint8_t>(high * 16 + tax));
    orbella::putLe32(data, hundredths(amount));
    appendIbsa(data);
    send(0x70, data);
}

void TOrbella::OdzivUpisGrupe(const uint8_t* b) {
    const int k = b[9];
    if (k == link_.ArtOdjeljenje) {
        link_.KomandaOK = 1;
        StatusText = "Upis Odjeljenja-podgrupe broj " + std::to_string(k) + " uradjen korektno ";
    } else {
        link_.KomandaOK = 0;
        StatusText = "Upis odjeljenja-podgrupe broj " + std::to_string(k) + " nije uradjen ";
    }
}

void TOrbella::OdzivCitajOdjeljenje(const uint8_t* b) {
    link_.KomandaOK = 0;
    link_.OdzivTekst.clear();
    char number[8];
    std::snprintf(number, sizeof number, "%02d", b[9]);
    std::string name = upToZero(b + 10, 19);
    if (!orbella::ImaTeksta(name)) {
        link_.OdzivTekst = number;
        link_.KomandaOK = 1;
        return;
    }
    name = orbella::IzKaseTekst(name, host_.CodePageIndex()).substr(0, 18);
    int32_t whole = orbella::le32(b + 31);
    double amount = whole + (whole < 0 ? -1 : 1) * b[35] / 100.0;
    char text[96];
    std::snprintf(text, sizeof text, "%s %18s %s%013.2f", number, name.c_str(), amount < 0 ? "-" : "",
                  std::fabs(amount));
    link_.OdzivTekst = text;
    link_.KomandaOK = 1;
}

// ---- operators -----------------------------------------------------------------------------------

void TOrbella::ZahtjevCitajOperatera(int32_t number) {
    send(0x75, {static_cast<uint8_t>(number - 1)});
}

void TOrbella::OdzivCitajOperatera(const uint8_t* b) {
    link_.KomandaOK = 0;
    link_.OdzivTekst.clear();
    link_.OpSifra = b[9] + 1;
    link_.OpNaziv = upToZero(b + 10, 18);
    db::Table& t = dm_.f_operateri;
    ensureOpen(t);
    if (!orbella::ImaTeksta(link_.OpNaziv)) {
        StatusText = "Ne postoji operater broj " + std::to_string(link_.OpSifra);
        link_.KomandaOK = 1;
        if (t.locate("F_SIFRA_OPERATERA", link_.OpSifra)) t.deleteRecord();
        return;
    }
    link_.OpNaziv = orbella::IzKaseTekst(link_.OpNaziv, host_.CodePageIndex());
    link_.OpLozinka = orbella::le32(b + 29);
    StatusText = "Operater broj " + std::to_string(link_.OpSifra) + " ocitan iz kase";
    if (t.locate("F_SIFRA_OPERATERA", link_.OpSifra)) t.edit();
    else t.append();
    t.setField("F_ID_KASE", 1);
    t.setField("F_SIFRA_OPERATERA", link_.OpSifra);
    t.setField("F_NAZIV_OPERATERA", link_.OpNaziv);
    t.setField("F_LOZINKA_OPERATERA", std::to_string(link_.OpLozinka));
    t.setField("STAT", "OCI");
    t.post();
    link_.KomandaOK = 1;
}

void TOrbella::ZahtjevUpisOperatera() {
    Bytes data{static_cast<uint8_t>(link_.OpSifra - 1)};
    std::string name = link_.OpNaziv;
    if (name.empty()) name.assign(18, '\xFF');
    if (name.size() < 18) name.append(18 - name.size(), ' ');
    link_.OpNaziv = orbella::UKasuTekst(name).substr(0, 18);
    appendText(data, link_.OpNaziv);
    data.push_back(0x00);
    orbella::putLe32(data, static_cast<uint32_t>(link_.OpLozinka));
    appendIbsa(data);
    send(0x76, data);
}

void TOrbella::OdzivUpisOperatera(const uint8_t* b) {
    const int k = b[9] + 1;
    if (k == link_.OpSifra) {
        link_.KomandaOK = 1;
        StatusText = "Upis operatera broj " + std::to_string(k) + " uradjen korektno ";
    } else {
        link_.KomandaOK = 0;
        StatusText = "Upis operatera broj " + std::to_string(k) + " nije uradjen ";
    }
}

// ---- tax rates -----------------------------------------------------------------------------------

void TOrbella::ZahtjevCitajPoreskuStopu(int32_t index) { send(0x6B, {static_cast<uint8_t>(index)}); }

void TOrbella::OdzivCitajPoreskuStopu(const uint8_t* b) {
    link_.KomandaOK = 0;
    StatusText = "Potvrda citanja poreske stope " + std::to_string(b[9]);
    db::Table& t = dm_.porstope;
    ensureOpen(t);
    t.edit();
    // An empty table gets its first row; the row needs its required ID.
    if (t.state() == db::DatasetState::Insert) t.setField("ID", 1);
    const uint16_t v = orbella::le16(b + 12);
    const double rate = v == 0xFFFF ? 99.99 : v / 100.0;
    static const char* const columns[] = {"A", "E", "J", "K"};
    if (b[9] < 4) t.setField(columns[b[9]], rate);
    t.post();
    link_.KomandaOK = 1;
}

void TOrbella::ZahtjevUpisPoreskihStopa() {
    for (int i = 0; i < 4; ++i) {
        link_.StopaIndeks = i;
        Bytes data{static_cast<uint8_t>(i), 0, 0};
        const auto r = static_cast<int64_t>(link_.PoreskeStope[i] * 100.0);  // truncated
        if (r == 9999) {
            data.push_back(0xFF);
            data.push_back(0xFF);
        } else {
            orbella::putLe16(data, static_cast<uint16_t>(r));
        }
        appendIbsa(data);
        send(0x6C, data);
        Pause(100);
    }
}

void TOrbella::OdzivUpisPoreskihStopa(const uint8_t* b) {
    link_.KomandaOK = b[9] == link_.StopaIndeks;
    host_.AddLog("Upis poreske stop " + std::to_string(b[9]));
}

// ---- text lines ----------------------------------------------------------------------------------

void TOrbella::ZahtjevCitajRedZaglavlja(int32_t line) { send(0x65, {static_cast<uint8_t>(line)}); }

void TOrbella::OdzivCitajRedZaglavlja(const uint8_t* b) {
    link_.KomandaOK = 0;
    link_.OdzivTekst.assign(reinterpret_cast<const char*>(b + 10), 18);
    link_.KomandaOK = 1;
}

void TOrbella::ZahtjevUpisRedaZaglavlja(int32_t line) {
    Bytes data{static_cast<uint8_t>(line)};
    link_.RedBroj = line;
    if (link_.OdzivTekst.size() < 18) link_.OdzivTekst.append(18 - link_.OdzivTekst.size(), ' ');
    link_.OdzivTekst = orbella::UKasuTekst(link_.OdzivTekst);
    appendText(data, link_.OdzivTekst.substr(0, 18));
    appendIbsa(data);
    send(0x66, data);
}

void TOrbella::OdzivUpisRedaZaglavlja(const uint8_t* b) {
    StatusText = "Unesen red zaglavlja broj =" + std::to_string(b[9]);
    link_.KomandaOK = 1;
}

void TOrbella::CitajZaglavljeUObjekat() {
    std::string lines[5];
    for (int k = 0; k < 5; ++k) {
        link_.OdzivTekst.clear();
        ZahtjevCitajRedZaglavlja(k);
        lines[k] = orbella::IzKaseTekst(link_.OdzivTekst, host_.CodePageIndex());
    }
    db::Table& t = dm_.f_objekat;
    ensureOpen(t);
    if (t.isEmpty()) t.append();
    else t.edit();
    t.setField("F_ID_KASE", 1);
    t.setField("F_RBR", 1);
    static const char* const columns[] = {"F_NAZIV_OBJEKTA", "F_TEL_BROJ", "F_NAZIV_FIRME",
                                          "F_ADRESA_FIRME", "F_STAT_BROJ"};
    for (int k = 0; k < 5; ++k) t.setField(columns[k], trimmed(lines[k]));
    t.post();
}
