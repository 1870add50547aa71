// Spreadsheet export and import through the main window (off-screen), checked with an
// independent reader and writer: Debian's python3-openpyxl, and a committed .xls fixture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <memory>

#include "DM_db_source.h"
#include "QtTestSupport.h"
#include "TestSupport.h"
#include "U_Knjizenje.h"
#include "Q_listaArtikala.h"
#include "U_Podesavanje.h"

namespace {

// Runs a Python script with Debian's interpreter (where python3-openpyxl lives).
ProcessResult python(const std::string& script) {
    return runProcess({"/usr/bin/python3", "-c", script});
}

class Spreadsheet : public ::testing::Test {
protected:
    void SetUp() override {
        dm = std::make_unique<Tdm_db>();
        w = std::make_unique<TF_Knjizenje>(*dm, link, dialogs, dir.path() + "/");
        w->show();
    }
    void TearDown() override {
        w->close();
        w.reset();
        dm.reset();
    }
    void addArticle(int code, const std::string& name, const db::Value& bar, double price, int rate, int group,
                    const db::Value& stat = {}) {
        auto& t = dm->froba;
        t.append();
        t.setField("F_ID_KASE", 1);
        t.setField("F_SIFRA_ROBE", code);
        t.setField("F_NAZIV_ROBE", name);
        t.setField("F_BAR_CODE", bar);
        t.setField("F_CIJENA_ROBE", price);
        t.setField("F_SIFRA_POR_STOPE", rate);
        t.setField("F_SIFRA_GRUPA", group);
        t.setField("F_KOLICINA", 5);
        t.setField("STAT", stat);
        t.post();
    }
    std::string lastLog() {
        auto lines = w->Memo1->toPlainText().split('\n');
        return lines.isEmpty() ? "" : lines.back().toStdString();
    }
    std::string row(int code) {  // "name|bar|price|rate|group|qty|STAT" of a stored article
        if (!dm->froba.locate("F_SIFRA_ROBE", code)) return "missing";
        std::string s;
        for (const char* f : {"F_NAZIV_ROBE", "F_BAR_CODE", "F_CIJENA_ROBE", "F_SIFRA_POR_STOPE", "F_SIFRA_GRUPA",
                              "F_KOLICINA", "STAT"})
            s += (s.empty() ? "" : "|") + dm->froba.fieldByName(f).asString();
        return s;
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    TF_Podesavanje link;
    std::unique_ptr<Tdm_db> dm;
    std::unique_ptr<TF_Knjizenje> w;
};

TEST_F(Spreadsheet, AnExportedWorkbookReadsBackInAnotherReader) {
    addArticle(15, "Mlijeko", "0012345", 1.35, 1, 2);
    addArticle(16, "\xC8" "aj", db::Value(), 12.5, 0, 1);
    dialogs.file = dir.file("artikli");  // no extension: .xlsx is added
    w->ComboBox3->setCurrentIndex(1);    // Cirilica: 0xC8 is И
    w->BitBtn6Click();
    EXPECT_EQ(lastLog(), "Export podataka u excel kompletiran..");
    auto r = python(
        "import openpyxl\n"
        "ws = openpyxl.load_workbook('" + dir.file("artikli.xlsx") + "').active\n"
        "for row in ws.iter_rows(values_only=True): print(row)\n"
        "print(ws['E2'].number_format, repr(ws['E2'].value))\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "('Sifra', 'Naziv', 'Cijena', 'Stopa', 'BarCode', 'Zaliha', 'Grupa')\n"
              "(15, 'Mlijeko', 1.35, 1, '0012345', 5, 2)\n"
              "(16, '\xD0\x98" "aj', 12.5, 0, None, 5, 1)\n"
              "@ '0012345'\n");
}

TEST_F(Spreadsheet, AnEmptyTableExportsItsTitlesOnly) {
    dialogs.file = dir.file("prazno.xlsx");
    w->BitBtn6Click();
    EXPECT_EQ(lastLog(), "Export podataka u excel kompletiran..");
    auto r = python("import openpyxl\nws = openpyxl.load_workbook('" + dir.file("prazno.xlsx") +
                    "').active\nprint(ws.max_row, [c.value for c in ws[1]])\n");
    EXPECT_EQ(r.out, "1 ['Sifra', 'Naziv', 'Cijena', 'Stopa', 'BarCode', 'Zaliha', 'Grupa']\n");
}

TEST_F(Spreadsheet, StopDuringAnExportSavesTheRowsWrittenSoFar) {
    for (int code = 1; code <= 300; ++code) addArticle(code, "A", db::Value(), 1, 0, 1);
    dialogs.file = dir.file("dio.xlsx");
    QTimer stop;
    QObject::connect(&stop, &QTimer::timeout, [&] { w->BitBtn10->click(); });
    stop.start(0);
    w->BitBtn6Click();
    EXPECT_EQ(lastLog(), "Export podataka u excel prekinut..");
    auto r = python("import openpyxl\nprint(openpyxl.load_workbook('" + dir.file("dio.xlsx") + "').active.max_row)\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(std::stoi(r.out), 301);
    EXPECT_GE(std::stoi(r.out), 2);
}

TEST_F(Spreadsheet, AWorkbookWrittenByAnotherProgramImports) {
    addArticle(15, "Mlijeko", "00000000012345", 1.35, 1, 2, "OCI");  // same values: keeps its STAT
    addArticle(16, "Sok", "00000000000001", 2, 1, 1, "OCI");         // another price: PRO
    auto r = python(
        "import openpyxl\n"
        "wb = openpyxl.Workbook(); ws = wb.active\n"
        "ws.append(['Sifra','Naziv','Cijena','Stopa','BarCode','Zaliha','Grupa'])\n"
        "ws.append([15, ' Mlijeko ', 1.35, 1, '00000000012345', 99, 2])\n"
        "ws.append([16, 'Sok', 2.5, 1, '1', 0, 1])\n"
        "ws.append([17, 'Naziv od trideset znakova, tacno', 3, None, '12345', 1, 1])\n"
        "ws.append([18, '\xd0\x98\xd0\xb0\xd1\x98', 4, 'x', '1234567890123456', 1, 1])\n"
        "ws.append([19, 'Cijena', 'abc', 1, None, 1, 1])\n"
        "ws.append([20, 'Bez barkoda', 5, 2, None, 1, 1])\n"
        "ws.append([None, 'kraj', 1, 1, None, 1, 1])\n"
        "ws.append([21, 'iza praznog reda', 1, 1, None, 1, 1])\n"
        "wb.save('" + dir.file("uvoz.xlsx") + "')\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    dialogs.file = dir.file("uvoz.xlsx");
    w->ComboBox3->setCurrentIndex(1);
    w->BitBtn7Click();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(row(15), " Mlijeko |00000000012345|1.35|1|2|99|OCI")
        << "compared without blanks, stored as it came; the quantity alone marks nothing";
    EXPECT_EQ(row(16), "Sok|00000000000001|2.5|1|1|0|PRO");
    EXPECT_EQ(row(17), "Naziv od trideset zn|00000000012345|3|1|1|1|NOV") << "20 characters; empty rate is 1";
    EXPECT_EQ(row(18), "\xC8\xE0\xBC|12345678901234|4|1|1|1|NOV") << "Cyrillic in Windows-1251; a letter rate is 1";
    EXPECT_EQ(row(19), "missing") << "a price that is no number: the row is left out";
    EXPECT_EQ(row(20), "Bez barkoda|00000000000000|5|2|1|1|NOV");
    EXPECT_EQ(row(21), "missing") << "an empty code ends the import";
    auto log = w->Memo1->toPlainText().toStdString();
    EXPECT_NE(log.find(" Ucitavam podatke iz " + dir.file("uvoz.xlsx")), std::string::npos);
    EXPECT_NE(log.find("Greska ucitavanja sifre 6'abc' is not a valid floating point value"), std::string::npos) << log;
    EXPECT_EQ(dm->froba.fieldByName("F_SIFRA_ROBE").asString(), "20") << "the last stored row is current";
}

TEST_F(Spreadsheet, AnImportReadsAtMost12001Rows) {
    auto r = python(
        "import openpyxl\n"
        "wb = openpyxl.Workbook(write_only=True); ws = wb.create_sheet()\n"
        "ws.append(['Sifra','Naziv','Cijena','Stopa','BarCode','Zaliha','Grupa'])\n"
        "for i in range(1, 12004): ws.append([i, 'A%d' % i, 1, 1, None, 0, 1])\n"
        "wb.save('" + dir.file("veliki.xlsx") + "')\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    dialogs.file = dir.file("veliki.xlsx");
    w->BitBtn7Click();
    EXPECT_EQ(dm->froba.recordCount(), 12001) << "rows 2 to 12002";
    EXPECT_EQ(dm->max("f_roba", "f_sifra_robe", ""), 12001);
    EXPECT_EQ(dm->froba.fieldByName("F_SIFRA_ROBE").asString(), "12001");
}

TEST_F(Spreadsheet, ALegacyXlsWorkbookImports) {
    dialogs.file = std::string(FIXTURES "/artikli.xls");
    w->BitBtn7Click();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(row(1), "Hljeb|03870000000011|0.9|1|1|10|NOV");
    EXPECT_EQ(row(2), "Mlijeko|00000003870001|1.35|2|3|0|NOV");
}

TEST_F(Spreadsheet, AFileThatIsNoWorkbookChangesNothing) {
    writeFile(dir.file("tekst.xlsx"), "Sifra;Naziv\n1;Hljeb\n");
    dialogs.file = dir.file("tekst.xlsx");
    w->BitBtn7Click();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Greska otvaranja excel fajla!"});
    EXPECT_TRUE(dm->froba.isEmpty());
    dialogs.errors.clear();
    dialogs.file = dir.file("nema/nema.xlsx");  // a folder that is not there: saving fails
    w->BitBtn6Click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].starts_with(dir.file("nema/nema.xlsx") + ": ")) << dialogs.errors[0];
    EXPECT_NE(lastLog(), "Export podataka u excel kompletiran..");
}

TEST_F(Spreadsheet, ThePrintedListAsPdf) {
    dm->f_objekat.open();
    dm->f_objekat.append();
    const char* header[][2] = {{"F_NAZIV_FIRME", "Firma d.o.o."}, {"F_ADRESA_FIRME", "Glavna 1"},
                               {"F_TEL_BROJ", "051/111-222"}, {"F_NAZIV_OBJEKTA", "Prodavnica Centar"},
                               {"F_STAT_BROJ", "4400000000001"}};
    dm->f_objekat.setField("F_ID_KASE", 1);
    dm->f_objekat.setField("F_RBR", 1);
    for (auto& h : header) dm->f_objekat.setField(h[0], h[1]);
    dm->f_objekat.post();
    for (int code = 1; code <= 70; ++code) addArticle(code, "Artikal " + std::to_string(code), "38700" + std::to_string(code), code * 1.5, 1, 2);
    const std::string pdf = dir.file("lista.pdf");
    w->repLA().SavePdf(pdf);
    auto r = runProcess({"pdftotext", "-layout", pdf, "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (auto& h : header) EXPECT_NE(r.out.find(h[1]), std::string::npos) << h[1];
    for (const char* t : {"Lista artikala fiskalne kase", "Sifra Robe", "Barcode", "Naziv", "Cijena", "Datum stampe: ",
                          "ZENTOR fiskalni program - sifarnik roba", "Strana 1", "Strana 2"})
        EXPECT_NE(r.out.find(t), std::string::npos) << t;
    EXPECT_NE(r.out.find("Artikal 7 "), std::string::npos);
    EXPECT_NE(r.out.find("105.00"), std::string::npos) << "the price of article 70, ########0.00";
    EXPECT_NE(r.out.find("1.50"), std::string::npos);
    EXPECT_EQ(r.out.find("Strana 3"), std::string::npos);
}

}  // namespace

