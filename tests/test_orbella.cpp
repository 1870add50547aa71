// The Orbella protocol: byte examples as tables, the handlers on crafted answers, and the
// whole path over a pty against the simulated Orbella with an embedded database.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "DM_db_source.h"
#include "HostWindow.h"
#include "Orbella.h"
#include "OrbellaDevice.h"
#include "PtyDevice.h"
#include "PtyPeer.h"
#include "TestSupport.h"

using orbella::Bytes;

namespace {

Bytes hex(const std::string& text) {
    Bytes b;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        uint8_t v;
        orbella::HexPair(text.data() + i, v);
        b.push_back(v);
        i += 2;
    }
    return b;
}

std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

class TestHost : public THostWindow {
public:
    int CodePageIndex() const override { return codePage; }
    void AddLog(const std::string& line) override { log.push_back(line); }
    int codePage = 0;
    std::vector<std::string> log;
};

class Orbella : public ::testing::Test {
protected:
    void SetUp() override {
        dm.DatabaseName = dir.file("tarvela.gdb");
        dm.Open();
        dm.froba.open();
        link.AdresaKase = {0x01, 0x11};
        link.IBFKBajtovi = {0x00, 0x00, 0x20};
        link.IBSA = "4071938265530817";
        link.ReadTimeout = 1;  // the silent pty answers nothing: give up at once
        link.XComm1.setDeviceName(pty.slavePath());
        link.XComm1.setBaudRate(br57600);
        o.Pause = [](int) {};
        StatusText.clear();
    }

    // Hands an answer frame with this command and data to the dispatch.
    void answer(uint8_t command, const Bytes& data) {
        TF_Podesavanje::Buffer b{};
        Bytes f = orbella::BuildFrame({0x01, 0x11}, {0, 0, 0x20}, 1, command, data);
        std::copy(f.begin(), f.end(), b.begin());
        o.IspitajFunkciju2(b);
    }

    Bytes sentData() const {  // data part of the last request
        const Bytes& r = o.LastRequest();
        return Bytes(r.begin() + 9, r.begin() + 9 + r[8]);
    }

    void addArticle(int code, const std::string& name) {
        dm.froba.append();
        dm.froba.setField("F_ID_KASE", 1);
        dm.froba.setField("F_SIFRA_ROBE", code);
        dm.froba.setField("F_NAZIV_ROBE", name);
        dm.froba.post();
    }

    Bytes articleAnswer(int code, const Bytes& name37, const Bytes& bar7, uint8_t tax, uint8_t group,
                        int32_t price) {
        Bytes d;
        orbella::putLe16(d, static_cast<uint16_t>(code - 1));
        d.insert(d.end(), name37.begin(), name37.end());
        d.insert(d.end(), bar7.begin(), bar7.end());
        d.push_back(tax);
        d.push_back(group);
        orbella::putLe32(d, static_cast<uint32_t>(price));
        d.resize(65, 0);
        return d;
    }

    TempDir dir;
    PtyPair pty;
    Tdm_db dm;
    TF_Podesavanje link;
    TestHost host;
    TOrbella o{link, dm, host};
};

// ---- frames --------------------------------------------------------------------------------------

TEST_F(Orbella, IdentificationAndDisconnectFramesAreExact) {
    std::array<uint8_t, 3> ibfk{};
    ASSERT_TRUE(orbella::IbfkBytes("000020", ibfk));
    EXPECT_EQ(ibfk, (std::array<uint8_t, 3>{0x00, 0x00, 0x20}));
    o.ZahtjevIdentifikacija();
    EXPECT_EQ(o.LastRequest(), hex("AA 01 11 00 00 20 01 67 00 44 FC 0D"));
    EXPECT_EQ(LastCommand, 0x67);
    EXPECT_EQ(StatusText, "Nema odziva od kase!");
    EXPECT_FALSE(DeviceAnswered);
    o.ZahtjevIzlazVezaSaPC();
    EXPECT_EQ(o.LastRequest(), hex("AA 01 11 00 00 20 02 79 00 57 E1 0D"));
}

TEST_F(Orbella, SequenceNumbersRunFromOneTo254) {
    EXPECT_EQ(orbella::NextSequence(0), 1);
    EXPECT_EQ(orbella::NextSequence(253), 254);
    EXPECT_EQ(orbella::NextSequence(254), 1);
    link.BrojPaketa = 254;
    o.ZahtjevIzlazVezaSaPC();
    EXPECT_EQ(o.LastRequest()[6], 1);
}

TEST_F(Orbella, TheAnswerCheckWantsAddressCrAndBothChecksums) {
    Bytes good = orbella::BuildFrame({0x01, 0x11}, {0, 0, 0}, 5, 0x77, {});
    ASSERT_EQ(good.size(), 12u) << "n = 0: twelve bytes";
    EXPECT_TRUE(orbella::ProvjeriOdziv(good.data(), good.size(), {0x01, 0x11}));
    struct Case {
        const char* what;
        size_t at;
        int delta;
    } cases[] = {{"additive checksum", 9, 1}, {"xor checksum", 10, 1}, {"CR", 11, 1}, {"address", 2, 1}};
    for (const auto& c : cases) {
        Bytes bad = good;
        bad[c.at] = static_cast<uint8_t>(bad[c.at] + c.delta);
        EXPECT_FALSE(orbella::ProvjeriOdziv(bad.data(), bad.size(), {0x01, 0x11})) << c.what;
    }
    EXPECT_FALSE(orbella::ProvjeriOdziv(good.data(), 11, {0x01, 0x11})) << "shorter than it says";
}

TEST_F(Orbella, TheDispatchReportsWhatCame) {
    TF_Podesavanje::Buffer b{};
    o.IspitajFunkciju2(b);
    EXPECT_EQ(StatusText, "Nema odziva od kase!");
    StatusText = "Analiziram prijem od kase";
    b[0] = 0x55;
    o.IspitajFunkciju2(b);
    EXPECT_EQ(StatusText, "Analiziram prijem od kase") << "no message for other bytes";

    Bytes f = orbella::BuildFrame({0x01, 0x11}, {0, 0, 0}, 1, 0x67, Bytes(24, 0x41));
    f[f.size() - 3]++;  // additive checksum off by one
    std::copy(f.begin(), f.end(), b.begin());
    o.IspitajFunkciju2(b);
    EXPECT_EQ(StatusText, "Neispravan format odziva!");
    EXPECT_FALSE(DeviceAnswered) << "no handler ran";

    answer(0x50, {});
    EXPECT_EQ(StatusText, "Kasa odgovorila na komandu odziv 80");
}

TEST_F(Orbella, IdentificationAnswerTakesTheIboAsItIs) {
    Bytes d(11, 0);  // both mode bytes zero
    Bytes ibo = bytes(std::string("12345\0" "789012X", 13));
    d.insert(d.end(), ibo.begin(), ibo.end());
    link.KomandaOK = 1;
    answer(0x67, d);
    EXPECT_TRUE(DeviceAnswered);
    EXPECT_EQ(link.KomandaOK, 0);
    EXPECT_EQ(link.IBO, std::string("12345\0" "789012X", 13));
    EXPECT_EQ(link.IBO.size(), 13u);
}

TEST_F(Orbella, ResultTextHandlers) {
    link.KomandaOK = 0;
    answer(0x1F, hex("FF 05"));
    EXPECT_EQ(link.KomandaOK, 1);
    EXPECT_EQ(StatusText, "Kasa odgovorila na komandu odziv 31");

    answer(0x40, hex("01 02"));
    EXPECT_EQ(link.OdzivTekst, "03400102");

    Bytes d26;
    for (int i = 0; i < 26; ++i) d26.push_back(static_cast<uint8_t>(0xA0 + i));
    answer(0x7C, d26);
    ASSERT_EQ(link.OdzivTekst.size(), 64u);
    EXPECT_EQ(link.OdzivTekst.substr(0, 4), "A0A1");
    EXPECT_EQ(link.OdzivTekst.substr(52), "000000000000");

    Bytes d66(66, 0x11);
    answer(0x62, d66);
    EXPECT_EQ(link.OdzivTekst, std::string(128, '1'));
    answer(0x62, Bytes(65, 0x11));
    EXPECT_EQ(link.OdzivTekst, "") << "0x62 with n other than 66";
    EXPECT_EQ(link.KomandaOK, 0);

    LastCommand = 0x79;
    answer(0x79, {});
    EXPECT_EQ(link.KomandaOK, 1);
    LastCommand = 0x67;
    answer(0x79, {});
    EXPECT_EQ(link.KomandaOK, 0);
}

// ---- articles ------------------------------------------------------------------------------------

TEST_F(Orbella, ArticleReadRequests) {
    o.ZahtjevCitajArtikal(1);
    EXPECT_EQ(sentData(), hex("00 00"));
    o.ZahtjevCitajArtikal(300);
    EXPECT_EQ(sentData(), hex("2B 01"));
    EXPECT_EQ(o.LastRequest()[7], 0x73);
    int seq = link.BrojPaketa;
    Bytes last = o.LastRequest();
    o.ZahtjevCitajArtikal(12000);
    o.ZahtjevCitajArtikal(0);
    EXPECT_EQ(o.LastRequest(), last) << "nothing sent";
    EXPECT_EQ(link.BrojPaketa, seq);
}

TEST_F(Orbella, EmptySlotAnswersRemoveTheLocalArticle) {
    for (const Bytes& name : {Bytes(36, 0xFF), Bytes(36, 0x20), Bytes(36, 0x00)}) {
        addArticle(7, "Stari");
        Bytes n37 = name;
        n37.push_back(0);
        link.ArtSifra = 99;
        answer(0x73, articleAnswer(7, n37, Bytes(7, 0), 0, 0, 0));
        EXPECT_EQ(link.ArtSifra, 0);
        EXPECT_EQ(link.KomandaOK, 1);
        EXPECT_EQ(dm.max("f_roba", "f_sifra_robe", ""), 0);
    }
}

TEST_F(Orbella, AReadArticleIsStoredAsReadFromTheDevice) {
    addArticle(5, "Stari naziv");
    Bytes name = bytes("Hljeb \x88\xA0");  // device Cyrillic
    name.resize(37, 0);
    answer(0x73, articleAnswer(5, name, hex("00 00 00 03 85 12 34"), 0x12, 0x23, 1250));
    EXPECT_EQ(link.ArtSifra, 5);
    EXPECT_EQ(link.ArtOdjeljenje, 4) << "high nibble ignored";
    EXPECT_EQ(link.ArtStopa, 2);
    EXPECT_EQ(link.ArtCijena, 12.5);
    EXPECT_EQ(link.ArtBarKod, "00000003851234");
    EXPECT_EQ(link.ArtNaziv, "Hljeb \xC8\xE0");
    dm.froba.locate("F_SIFRA_ROBE", 5);
    EXPECT_EQ(dm.froba.fieldByName("F_NAZIV_ROBE").asString(), "Hljeb \xC8\xE0");
    EXPECT_EQ(dm.froba.fieldByName("STAT").asString(), "OCI");
    EXPECT_EQ(dm.froba.fieldByName("F_SIFRA_GRUPA").asString(), "4");
    EXPECT_EQ(dm.froba.fieldByName("F_BAR_CODE").asString(), "00000003851234");
    EXPECT_EQ(dm.froba.recordCount(), 1);

    answer(0x73, articleAnswer(6, name, hex("FF FF FF FF FF FF F1"), 0, 0, -5));
    EXPECT_EQ(link.ArtBarKod, std::string(13, ' ') + "1");
    EXPECT_EQ(link.ArtCijena, -0.05);
    EXPECT_EQ(dm.froba.recordCount(), 2) << "a new code is appended";
}

TEST_F(Orbella, ArticleWriteRequestsLayOutTheRecord) {
    struct Case {
        std::string name, bar;
        double price;
        int group, tax;
        Bytes nameField, barField, priceField;
    } cases[] = {
        {"  Hljeb ", "385123", 12.5, 1, 2, bytes("Hljeb" + std::string(31, ' ') + '\0'),
         hex("00 00 00 00 38 51 23"), hex("E2 04 00 00")},
        {"", "", 0.125, 1, 2, [] { Bytes b(36, 0xFF); b.push_back(0); return b; }(),
         hex("00 00 00 00 00 00 00"), hex("0C 00 00 00")},
        {std::string(40, 'N'), "123456789012345678", 0, 1, 2, bytes(std::string(36, 'N') + '\0'),
         hex("56 78 90 12 34 56 78"), hex("00 00 00 00")},
    };
    for (const auto& c : cases) {
        link.ArtSifra = 300;
        link.ArtNaziv = c.name;
        link.ArtBarKod = c.bar;
        link.ArtCijena = c.price;
        link.ArtOdjeljenje = c.group;
        link.ArtStopa = c.tax;
        o.ZahtjevUpisArtikla();
        const Bytes& r = o.LastRequest();
        ASSERT_EQ(r.size(), 84u) << c.name;
        EXPECT_EQ(r[7], 0x74);
        EXPECT_EQ(r[8], 72);
        EXPECT_EQ(Bytes(r.begin() + 9, r.begin() + 11), hex("2B 01"));
        EXPECT_EQ(Bytes(r.begin() + 11, r.begin() + 48), c.nameField) << c.name;
        EXPECT_EQ(Bytes(r.begin() + 48, r.begin() + 55), c.barField) << c.bar;
        EXPECT_EQ(r[55], 0x02);
        EXPECT_EQ(r[56], 0x00);
        EXPECT_EQ(Bytes(r.begin() + 57, r.begin() + 61), c.priceField) << c.price;
        EXPECT_EQ(Bytes(r.begin() + 61, r.begin() + 65), hex("00 00 00 00"));
        EXPECT_EQ(str(Bytes(r.begin() + 65, r.begin() + 81)), link.IBSA);
        EXPECT_EQ(link.ArtNaziv.size(), 37u) << "the sent form stays in the session";
    }
}

TEST_F(Orbella, WriteAnswersAcceptOnlyTheEchoedCode) {
    link.ArtSifra = 300;
    answer(0x74, hex("2B 01"));
    EXPECT_EQ(StatusText, "Prihvaceno");
    EXPECT_EQ(link.ArtikalPrihvacen, 1);
    answer(0x74, hex("2B 01 00"));
    EXPECT_EQ(StatusText, "Odbijeno");
    EXPECT_EQ(link.ArtikalPrihvacen, 0);
    link.ArtikalPrihvacen = 1;
    answer(0x1F, {});
    EXPECT_EQ(link.ArtikalPrihvacen, 0) << "a general acknowledgement is no acceptance";
}

TEST_F(Orbella, ABarCodeThatCannotBePackedStopsTheWrite) {
    link.ArtSifra = 1;
    link.ArtBarKod = "12G4";
    Bytes last = o.LastRequest();
    EXPECT_THROW(o.ZahtjevUpisArtikla(), std::invalid_argument);
    EXPECT_EQ(o.LastRequest(), last) << "nothing sent";
}

TEST_F(Orbella, AnIbsaTheFrameCannotCarryIsRefusedBeforeSending) {
    link.IBSA = std::string(200, 'I');  // 56 + 200 data bytes: more than one byte can count
    link.ArtSifra = 1;
    int seq = link.BrojPaketa;
    o.ZahtjevUpisArtikla();
    EXPECT_EQ(StatusText, "IBSA je predugacak (200 znakova): komanda nije poslata kasi");
    EXPECT_TRUE(o.LastRequest().empty());
    EXPECT_EQ(link.BrojPaketa, seq);
    link.IBSA = std::string(199, 'I');  // exactly 255 data bytes still go
    o.ZahtjevUpisArtikla();
    EXPECT_EQ(o.LastRequest().size(), 255u + 12);
}

// ---- groups, operators, tax rates, lines ---------------------------------------------------------

TEST_F(Orbella, GroupsAreReadIntoTheTableAndWritten) {
    o.ZahtjevCitajGrupu(0);
    EXPECT_EQ(o.LastRequest()[7], 0x6F);
    EXPECT_EQ(sentData(), hex("00"));

    Bytes d{0x00};
    Bytes name = bytes("MLIJEKO");
    name.resize(18, ' ');
    name.push_back(0);
    d.insert(d.end(), name.begin(), name.end());
    d.push_back(0x31);  // tax index 1 in the low nibble
    d.resize(25, 0);
    answer(0x6F, d);
    EXPECT_EQ(StatusText, "Ocitana grupa robe 1");
    dm.f_grupe_roba.first();
    EXPECT_EQ(dm.f_grupe_roba.fieldByName("F_NAZIV_GRUPA").asString(), "MLIJEKO" + std::string(11, ' '));
    EXPECT_EQ(dm.f_grupe_roba.fieldByName("F_ID_KASE").asString(), "0");
    EXPECT_EQ(dm.f_grupe_roba.fieldByName("PORSTOPA").asString(), "1");
    EXPECT_EQ(dm.f_grupe_roba.fieldByName("STAT").asString(), "OCI");

    Bytes empty{0x00};
    empty.resize(20, ' ');
    empty.push_back(0);
    empty.resize(25, 0);
    answer(0x6F, empty);
    EXPECT_TRUE(dm.f_grupe_roba.isEmpty()) << "18 spaces: the group is deleted";

    link.ArtOdjeljenje = 2;
    o.ZahtjevUpisGrupe(std::string(25, 'G'), 2, 0, 1, 0);
    Bytes expect{0x02};
    Bytes field = bytes(std::string(18, 'G'));
    field.push_back(0);
    expect.insert(expect.end(), field.begin(), field.end());
    Bytes tail = hex("01 00 00 00 00");
    expect.insert(expect.end(), tail.begin(), tail.end());
    Bytes ibsa = bytes(link.IBSA);
    expect.insert(expect.end(), ibsa.begin(), ibsa.end());
    EXPECT_EQ(sentData(), expect);
    EXPECT_EQ(o.LastRequest().size(), 53u);
    answer(0x70, hex("02"));
    EXPECT_EQ(StatusText, "Upis Odjeljenja-podgrupe broj 2 uradjen korektno ");
    answer(0x70, hex("03"));
    EXPECT_EQ(StatusText, "Upis odjeljenja-podgrupe broj 3 nije uradjen ");
}

TEST_F(Orbella, OperatorsAreReadIntoTheTableAndWritten) {
    link.OpSifra = 1;
    link.OpNaziv = "";
    link.OpLozinka = 12345;
    o.ZahtjevUpisOperatera();
    Bytes expect(20, 0xFF);
    expect.front() = expect.back() = 0x00;
    Bytes pw = hex("39 30 00 00");
    expect.insert(expect.end(), pw.begin(), pw.end());
    Bytes ibsa = bytes(link.IBSA);
    expect.insert(expect.end(), ibsa.begin(), ibsa.end());
    EXPECT_EQ(sentData(), expect);
    EXPECT_EQ(o.LastRequest().size(), 52u);

    Bytes d{0x04};
    Bytes name = bytes("Marko");
    name.resize(18, ' ');
    d.insert(d.end(), name.begin(), name.end());
    d.push_back(0);
    d.insert(d.end(), pw.begin(), pw.end());
    answer(0x75, d);
    EXPECT_EQ(StatusText, "Operater broj 5 ocitan iz kase");
    EXPECT_EQ(dm.f_operateri.fieldByName("F_LOZINKA_OPERATERA").asString(), "12345");
    EXPECT_EQ(dm.f_operateri.fieldByName("F_SIFRA_OPERATERA").asString(), "5");

    std::fill(d.begin() + 1, d.begin() + 19, ' ');
    answer(0x75, d);
    EXPECT_EQ(StatusText, "Ne postoji operater broj 5");
    EXPECT_TRUE(dm.f_operateri.isEmpty());

    link.OpSifra = 5;
    answer(0x76, hex("04"));
    EXPECT_EQ(StatusText, "Upis operatera broj 5 uradjen korektno ");
}

TEST_F(Orbella, TaxRatesAreReadIntoTheirColumnsAndWritten) {
    dm.porstope.open();
    answer(0x6B, hex("02 00 00 08 07"));
    EXPECT_EQ(StatusText, "Potvrda citanja poreske stope 2");
    EXPECT_EQ(dm.porstope.fieldByName("J").asString(), "18");
    answer(0x6B, hex("00 00 00 FF FF"));
    EXPECT_EQ(dm.porstope.fieldByName("A").asString(), "99.99");

    link.PoreskeStope = {17, 8, 0, 99.99};
    std::vector<Bytes> sent;
    o.Pause = [&](int ms) {
        EXPECT_EQ(ms, 100);
        sent.push_back(sentData());
    };
    o.ZahtjevUpisPoreskihStopa();
    ASSERT_EQ(sent.size(), 4u);
    const char* rates[] = {"A4 06", "20 03", "00 00", "FF FF"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Bytes(sent[i].begin(), sent[i].begin() + 5),
                  hex("0" + std::to_string(i) + " 00 00 " + rates[i]));
        EXPECT_EQ(sent[i].size(), 21u);
    }
    link.PoreskeStope = {0.29, 0, 0, 0};
    sent.clear();
    o.ZahtjevUpisPoreskihStopa();
    EXPECT_EQ(Bytes(sent[0].begin() + 3, sent[0].begin() + 5), hex("1C 00")) << "truncated, 28";
    link.StopaIndeks = 1;
    answer(0x6C, hex("01"));
    EXPECT_EQ(link.KomandaOK, 1);
    EXPECT_EQ(host.log.back(), "Upis poreske stop 1");
}

TEST_F(Orbella, HeaderLinesTravelAsEighteenBytes) {
    Bytes d{0x03};
    Bytes line = bytes("SHOP 1" + std::string(12, ' '));
    d.insert(d.end(), line.begin(), line.end());
    answer(0x65, d);
    EXPECT_EQ(link.OdzivTekst, "SHOP 1" + std::string(12, ' '));

    link.OdzivTekst = "Prodavnica";
    o.ZahtjevUpisRedaZaglavlja(6);
    Bytes expect{0x06};
    Bytes text = bytes("Prodavnica" + std::string(8, ' ') + link.IBSA);
    expect.insert(expect.end(), text.begin(), text.end());
    EXPECT_EQ(sentData(), expect);
    EXPECT_EQ(o.LastRequest().size(), 47u);
    answer(0x66, hex("06"));
    EXPECT_EQ(StatusText, "Unesen red zaglavlja broj =6");
}

TEST_F(Orbella, DepartmentAnswers) {
    Bytes d{0x07};
    Bytes name = bytes("PICE");
    name.resize(19, 0);
    d.insert(d.end(), name.begin(), name.end());
    d.insert(d.end(), {0, 0});
    orbella::putLe32(d, 1234);
    d.push_back(50);
    answer(0x71, d);
    EXPECT_EQ(link.OdzivTekst, "07               PICE 0000001234.50");
    std::fill(d.begin() + 1, d.begin() + 20, 0);
    answer(0x71, d);
    EXPECT_EQ(link.OdzivTekst, "07");
}

// ---- characters ----------------------------------------------------------------------------------

TEST(OrbellaText, CharacterTablesFollowTheCodePageChoice) {
    struct Case {
        std::string device;
        int codePage;
        std::string pc;
    } cases[] = {
        {"\x88\xA0", 0, "\xC8\xE0"}, {"\x5E", 0, "\x5E"},     {"\x5E", 1, "\x8A"},
        {"\x88", 1, "\x88"},         {"\x89\xA9", 0, "\xA3\xBC"}, {"\x9A\xBF", 0, "\x80\x9A"},
        {"[\\]_`{|}~\x7F", 1, "\xD0\xC6\xC8\x8E\xB9\xF0\xE6\xE8\x9A\x9E"}, {"", 0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(orbella::IzKaseTekst(c.device, c.codePage), c.pc) << c.device;
    EXPECT_EQ(orbella::UKasuTekst("\xC8"), "\xC8");

    EXPECT_FALSE(orbella::ImaTeksta(std::string(36, '\xFF')));
    EXPECT_FALSE(orbella::ImaTeksta(std::string(18, ' ')));
    EXPECT_FALSE(orbella::ImaTeksta("A"));
    EXPECT_TRUE(orbella::ImaTeksta("A "));
    EXPECT_FALSE(orbella::ImaTeksta(std::string(35, ' ') + "A"));
}

// ---- over a pty against the simulated register --------------------------------------------------

class OrbellaDeviceTest : public Orbella {
protected:
    void SetUp() override {
        Orbella::SetUp();
        device = std::make_shared<sim::OrbellaDevice>("ORB0000012345");
        server = std::make_unique<sim::PtyDevice>(
            sim::PtyDevice::Device{
                [this](const uint8_t* b, size_t n) { return device->Receive(b, n); },
                [this](const sim::Bytes& r, sim::Fault f) { return device->Answer(r, f); }},
            0);
        link.XComm1.setDeviceName(server->Path());
        link.ReadTimeout = 80;
    }

    void writeArticle(int code, const std::string& name, double price) {
        link.ArtSifra = code;
        link.ArtNaziv = name;
        link.ArtBarKod = "3870001";
        link.ArtCijena = price;
        link.ArtOdjeljenje = 3;
        link.ArtStopa = 1;
        o.ZahtjevUpisArtikla();
    }

    std::shared_ptr<sim::OrbellaDevice> device;
    std::unique_ptr<sim::PtyDevice> server;
};

TEST_F(OrbellaDeviceTest, IdentificationFindsTheDevice) {
    o.ZahtjevIdentifikacija();
    EXPECT_TRUE(DeviceAnswered);
    EXPECT_EQ(link.IBO, "ORB0000012345");
    EXPECT_EQ(StatusText, "Kasa odgovorila na komandu odziv 103");
    o.ZahtjevIzlazVezaSaPC();
    EXPECT_EQ(link.KomandaOK, 1);
}

TEST_F(OrbellaDeviceTest, AnArticleWrittenIsReadBackAndDeletedByAnEmptyWrite) {
    writeArticle(42, "Mlijeko", 1.35);
    EXPECT_EQ(StatusText, "Prihvaceno");
    EXPECT_EQ(link.ArtikalPrihvacen, 1);
    o.ZahtjevCitajArtikal(42);
    ASSERT_TRUE(dm.froba.locate("F_SIFRA_ROBE", 42));
    EXPECT_EQ(dm.froba.fieldByName("F_NAZIV_ROBE").asString(), "Mlijeko" + std::string(25, ' '))
        << "the device's 36 characters, cut to the column's 32";
    EXPECT_EQ(dm.froba.fieldByName("F_CIJENA_ROBE").asString(), "1.35");
    EXPECT_EQ(dm.froba.fieldByName("F_BAR_CODE").asString(), "00000003870001");
    EXPECT_EQ(dm.froba.fieldByName("F_SIFRA_GRUPA").asString(), "3");
    EXPECT_EQ(dm.froba.fieldByName("STAT").asString(), "OCI");

    o.ObrisiArtikal(42);
    EXPECT_EQ(link.ArtikalPrihvacen, 1);
    o.ZahtjevCitajArtikal(42);
    EXPECT_EQ(link.ArtSifra, 0);
    EXPECT_EQ(dm.max("f_roba", "f_sifra_robe", ""), 0);
}

TEST_F(OrbellaDeviceTest, GroupsOperatorsRatesAndHeaderComeFromTheDevice) {
    auto& m = device->memory();
    std::memcpy(m.groups[0].name, "MLIJEKO           ", 18);
    m.groups[0].tax = 0x02;
    std::memcpy(m.operators[3].name, "Ana               ", 18);
    m.operators[3].password = 12345;
    m.rates[0] = 1700;
    m.rates[1] = 800;
    m.rates[2] = 0;
    m.rates[3] = 0xFFFF;

    o.ZahtjevCitajGrupu(0);
    EXPECT_EQ(StatusText, "Ocitana grupa robe 1");
    EXPECT_EQ(dm.f_grupe_roba.fieldByName("PORSTOPA").asString(), "2");
    o.ZahtjevCitajOperatera(4);
    EXPECT_EQ(StatusText, "Operater broj 4 ocitan iz kase");
    EXPECT_EQ(dm.f_operateri.fieldByName("F_LOZINKA_OPERATERA").asString(), "12345");
    for (int i = 0; i < 4; ++i) o.ZahtjevCitajPoreskuStopu(i);
    dm.porstope.refresh();
    EXPECT_EQ(dm.porstope.fieldByName("A").asString(), "17");
    EXPECT_EQ(dm.porstope.fieldByName("E").asString(), "8");
    EXPECT_EQ(dm.porstope.fieldByName("J").asString(), "0");
    EXPECT_EQ(dm.porstope.fieldByName("K").asString(), "99.99");

    const char* header[] = {"Prodavnica Centar Sjever", "051/123-456", "Firma d.o.o.", "Glavna 1", "4400000000001"};
    for (int k = 0; k < 5; ++k) {
        link.OdzivTekst = header[k];
        o.ZahtjevUpisRedaZaglavlja(k);
        EXPECT_EQ(StatusText, "Unesen red zaglavlja broj =" + std::to_string(k));
    }
    o.CitajZaglavljeUObjekat();
    dm.f_objekat.first();
    EXPECT_EQ(dm.f_objekat.fieldByName("F_NAZIV_OBJEKTA").asString(), "Prodavnica Centar")
        << "the line's 18 characters, blanks trimmed";
    EXPECT_EQ(dm.f_objekat.fieldByName("F_STAT_BROJ").asString(), "4400000000001");
    EXPECT_EQ(dm.f_objekat.fieldByName("F_RBR").asString(), "1");
}

TEST_F(OrbellaDeviceTest, InjectedFaultsGiveTheirStatus) {
    struct Case {
        sim::Fault fault;
        std::string status;
        uint8_t accepted;
    } cases[] = {
        {sim::Fault::None, "Prihvaceno", 1},
        {sim::Fault::Silence, "Nema odziva od kase!", 0},
        {sim::Fault::Noise, "Prihvaceno", 1},
        {sim::Fault::Split, "Prihvaceno", 1},
        {sim::Fault::ByteByByte, "Prihvaceno", 1},
        {sim::Fault::BadChecksum, "Neispravan format odziva!", 0},
        {sim::Fault::GeneralAck, "Kasa odgovorila na komandu odziv 31", 0},
        {sim::Fault::RefuseWrite, "Odbijeno", 0},
    };
    for (const auto& c : cases) {
        server->InjectFault(c.fault);
        writeArticle(7, "Sok", 2);
        EXPECT_EQ(StatusText, c.status) << static_cast<int>(c.fault);
        EXPECT_EQ(link.ArtikalPrihvacen, c.accepted) << static_cast<int>(c.fault);
        EXPECT_FALSE(link.XComm1.IsOpen());
    }
}

TEST_F(OrbellaDeviceTest, TheDeviceKeepsItsMemoryInAFile) {
    const std::string file = dir.file("orbella.mem");
    {
        sim::OrbellaDevice d("X", file);
        std::memcpy(d.memory().lines[6], "REKLAMA           ", 18);
        d.Save();
    }
    sim::OrbellaDevice again("X", file);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(again.memory().lines[6]), 7), "REKLAMA");
}

}  // namespace
