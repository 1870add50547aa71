// The main window and the articles tab, as real widgets on Qt's offscreen platform, over a
// real embedded database in a temporary folder.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "DM_db_source.h"
#include "DatasetModel.h"
#include "QtTestSupport.h"
#include "Settings.h"
#include "TestSupport.h"
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"
#include "u_unos_sifre_robe.h"

namespace {

using DialogAction = std::function<void(TAzuroba&)>;

DialogAction fillAndOk(std::map<std::string, QString> values) {
    return [values](TAzuroba& d) {
        for (const auto& [name, text] : values) d.findChild<QLineEdit*>(name.c_str())->setText(text);
        d.OKButton->click();
    };
}

const DialogAction cancelDialog = [](TAzuroba& d) { d.Odustani->click(); };

class Window : public ::testing::Test {
protected:
    void TearDown() override {
        if (w) closeWindow();
    }

    void start() {
        dm = std::make_unique<Tdm_db>();
        w = std::make_unique<TF_Knjizenje>(*dm, link, dialogs, dir.path() + "/");
        w->show();
    }

    void closeWindow() {
        w->close();
        w.reset();
        dm.reset();
    }

    // Answers the article dialog each time it comes up, with the next of `actions`.
    void withDialog(std::deque<DialogAction> actions, const std::function<void()>& command) {
        QTimer t;
        int shown = 0;
        QObject::connect(&t, &QTimer::timeout, [&] {
            TAzuroba* d = w->Azuroba();
            if (!d || !d->isVisible()) return;
            ++shown;
            if (actions.empty()) {
                ADD_FAILURE() << "the article dialog came up once more than expected";
                d->Odustani->click();
                return;
            }
            auto a = actions.front();
            actions.pop_front();
            a(*d);
        });
        t.start(5);
        command();
        t.stop();
        EXPECT_TRUE(actions.empty()) << actions.size() << " dialog answers left unused";
    }

    void addArticle(double code, const std::string& name, const db::Value& stat = {}, double rate = 0,
                    const std::string& bar = "") {
        auto& t = dm->froba;
        t.append();
        t.setField("F_ID_KASE", 1);
        t.setField("F_SIFRA_ROBE", code);
        t.setField("F_NAZIV_ROBE", name);
        t.setField("F_SIFRA_POR_STOPE", rate);
        t.setField("F_BAR_CODE", bar);
        t.setField("STAT", stat);
        t.post();
    }

    std::string current(const char* field) { return dm->froba.fieldByName(field).asString(); }

    std::vector<std::string> log() {
        std::vector<std::string> lines;
        for (const QString& l : w->Memo1->toPlainText().split('\n'))
            if (!l.isEmpty()) lines.push_back(l.toStdString());
        return lines;
    }

    std::string stats() {  // "code:STAT" for every article in code order
        std::string s;
        EXPECT_TRUE(dm->sqlopen("select f_sifra_robe, stat from f_roba order by f_sifra_robe"));
        for (dm->up.first(); !dm->up.eof(); dm->up.next())
            s += dm->up.fieldByName("F_SIFRA_ROBE").asString() + ":" +
                 dm->up.fieldByName("STAT").asString() + " ";
        return s;
    }

    QString gridText(DBGrid* g, int row, int col) {
        return g->model()->data(g->model()->index(row, col), Qt::DisplayRole).toString();
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    TF_Podesavanje link;
    std::unique_ptr<Tdm_db> dm;
    std::unique_ptr<TF_Knjizenje> w;
};

// ---- start-up and settings ---------------------------------------------------------------------

TEST_F(Window, FirstStartHasTheDefaultsAndClosingWritesTheSixLines) {
    start();
    EXPECT_EQ(w->windowTitle(), "ZENTOR Tarvela ");
    EXPECT_EQ(w->ComboBox1->currentText(), "COM 1");
    EXPECT_EQ(w->ComboBox2->currentText(), "57600");
    EXPECT_EQ(w->TipKase->ItemIndex(), 0);
    EXPECT_EQ(w->ComboBox3->currentText(), "Latinica");
    EXPECT_EQ(w->Edit4->text(), "000020");
    EXPECT_EQ(w->Edit7->text(), "4071938265530817");
    EXPECT_FALSE(w->Connected);
    EXPECT_EQ(w->PageControl1->count(), 7);
    EXPECT_EQ(w->PageControl1->tabText(0), "Roba");
    EXPECT_EQ(w->PageControl1->tabText(6), "Komande");
    EXPECT_EQ(log(), std::vector<std::string>{"Lokalna baza podataka otvorena.."});
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(dm->froba.indexName(), "frobasifra");

    w->ComboBox1->setCurrentIndex(2);
    w->TipKase->setItemIndex(1);
    closeWindow();
    EXPECT_EQ(readFile(dir.file("tarvela.ini")),
              "COM PORT INDEX=2\r\nCOM PORT SPEED INDEX=1\r\nTIP UREDJAJA INDEX=1\r\n"
              "IBFK=000020\r\nJEZIK INDEX=0\r\nIBSA=4071938265530817\r\n");
}

TEST_F(Window, ASettingsFileWithoutTheSpeedLineRestoresOnlyThePort) {
    writeFile(dir.file("tarvela.ini"),
              "COM PORT INDEX=4\r\nTIP UREDJAJA INDEX=1\r\nIBFK=111111\r\nJEZIK INDEX=1\r\nIBSA=X\r\n");
    start();
    EXPECT_EQ(w->ComboBox1->currentIndex(), 4);
    EXPECT_EQ(w->ComboBox2->currentIndex(), 1);
    EXPECT_EQ(w->TipKase->ItemIndex(), 0);
    EXPECT_EQ(w->ComboBox3->currentIndex(), 0);
    EXPECT_EQ(w->Edit4->text(), "000020");
    EXPECT_EQ(w->Edit7->text(), "4071938265530817");
}

TEST_F(Window, SettingsAreRestoredByTheirRules) {
    writeFile(dir.file("tarvela.ini"),
              "ibsa=1234567890123456\r\ncom port index=12\r\nCOM PORT SPEED INDEX=0\r\n"
              "TIP UREDJAJA INDEX=5\r\nJEZIK INDEX=-1\r\n");
    start();
    EXPECT_EQ(w->ComboBox1->currentIndex(), -1) << "outside the list: no selection";
    EXPECT_EQ(w->ComboBox2->currentIndex(), 0);
    EXPECT_EQ(w->TipKase->ItemIndex(), 1) << "above 1 selects Markon";
    EXPECT_EQ(w->ComboBox3->currentIndex(), -1);
    EXPECT_EQ(w->Edit4->text(), "") << "a missing IBFK empties its box";
    EXPECT_EQ(w->Edit7->text(), "1234567890123456");
    closeWindow();
    EXPECT_EQ(readFile(dir.file("tarvela.ini")),
              "COM PORT INDEX=-1\r\nCOM PORT SPEED INDEX=0\r\nTIP UREDJAJA INDEX=1\r\n"
              "IBFK=\r\nJEZIK INDEX=-1\r\nIBSA=1234567890123456\r\n");
}

TEST_F(Window, ASettingsFileThatCannotBeReadOrWrittenIsReported) {
    std::filesystem::create_directory(dir.file("tarvela.ini"));  // there, but no file
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Greska citanja datoteke " + dir.file("tarvela.ini") +
                                     "\rIs a directory");
    EXPECT_EQ(log(), std::vector<std::string>{"Lokalna baza podataka otvorena.."}) << "start goes on";
    EXPECT_EQ(w->ComboBox2->currentIndex(), 1);
    closeWindow();
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "Greska upisa datoteke " + dir.file("tarvela.ini") + "\rIs a directory");
}

TEST_F(Window, ADatabaseThatCannotBeOpenedIsReportedAndTheWindowStaysUsable) {
    std::string text;
    while (text.size() < 20000) text += "not a database\r\n";
    writeFile(dir.file("tarvela.gdb"), text);
    start();
    ASSERT_GE(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].starts_with("Greska otvaranja baze podataka!\r")) << dialogs.errors[0];
    EXPECT_TRUE(log().empty());
    dialogs.errors.clear();
    w->BitBtn3Click();
    w->BitBtn4Click();
    w->BitBtn5Click();
    w->Prihvatisveizmjenebezslanjanakasu1Click();
    ASSERT_EQ(dialogs.errors.size(), 1u) << "only the new article touches the table";
    EXPECT_EQ(dialogs.errors[0], "Table F_ROBA is not open");
    EXPECT_EQ(readFile(dir.file("tarvela.gdb")), text);
}

TEST(SettingsFile, IndexesStopAtTheFirstThatIsNotAWholeNumber) {
    struct Case {
        std::string file;
        int port, speed, tip, jezik;
        std::string ibfk;
    } cases[] = {
        {"COM PORT INDEX=x\r\nIBFK=9\r\n", 0, 1, 0, 0, "000020"},
        {"COM PORT INDEX=2\nCOM PORT SPEED INDEX=0\nTIP UREDJAJA INDEX=1\nJEZIK INDEX=1\nIBFK=9\n", 2, 0, 1, 1, "9"},
        {"COM PORT INDEX=2\r\nCOM PORT SPEED INDEX=1.5\r\nIBFK=9\r\n", 2, 1, 0, 0, "000020"},
        {"COM PORT INDEX= 3\r\nCOM PORT SPEED INDEX=+0\r\nTIP UREDJAJA INDEX=1\r\nJEZIK INDEX=1\r\n", 3, 0, 1, 1, ""},
        {"", 0, 1, 0, 0, "000020"},
    };
    for (const auto& c : cases) {
        Settings s;
        applyIni(c.file, s);
        EXPECT_EQ(s.ComPortIndex, c.port) << c.file;
        EXPECT_EQ(s.SpeedIndex, c.speed) << c.file;
        EXPECT_EQ(s.TipUredjajaIndex, c.tip) << c.file;
        EXPECT_EQ(s.JezikIndex, c.jezik) << c.file;
        EXPECT_EQ(s.IBFK, c.ibfk) << c.file;
    }
}

TEST(ProgressBar, CompletedStaysWithinTheTotalAndShowsWholePercents) {
    TProgress p;
    EXPECT_EQ(p.value(), 0);
    p.setTotal(3);
    p.StepIt();
    EXPECT_EQ(p.value(), 33);
    p.StepIt();
    EXPECT_EQ(p.value(), 67);
    p.setCompleted(10);
    EXPECT_EQ(p.Completed(), 3);
    EXPECT_EQ(p.value(), 100);
    p.setTotal(50);
    EXPECT_EQ(p.Completed(), 0) << "a new total resets the count";
    p.setTotal(0);
    p.StepIt();
    EXPECT_EQ(p.value(), 0);
}

// ---- keys and code page --------------------------------------------------------------------------

TEST_F(Window, F5F6F7WorkOnlyOnTheArticlesTab) {
    start();
    addArticle(1, "Hljeb", "NOV");
    w->PageControl1->setCurrentIndex(1);
    QTest::keyClick(w->windowHandle(), Qt::Key_F7);
    EXPECT_EQ(current("STAT"), "NOV");
    withDialog({}, [&] { QTest::keyClick(w->windowHandle(), Qt::Key_F5); });
    EXPECT_EQ(w->Azuroba(), nullptr);

    w->PageControl1->setCurrentIndex(0);
    QTest::keyClick(w->windowHandle(), Qt::Key_F7);
    EXPECT_EQ(current("STAT"), "OBR");
    w->Edit1->setFocus();
    QTest::keyClick(w->windowHandle(), Qt::Key_F7);  // a key for a control reaches the window first
    EXPECT_EQ(current("STAT"), "");
    withDialog({cancelDialog}, [&] { QTest::keyClick(w->windowHandle(), Qt::Key_F6); });
    withDialog({cancelDialog}, [&] { QTest::keyClick(w->windowHandle(), Qt::Key_F5); });
    EXPECT_EQ(dm->froba.recordCount(), 1);
}

TEST_F(Window, TheCodePageDecidesHowNamesAreShownInAllThreeGrids) {
    start();
    addArticle(1, "\xC8" "aj");  // Č in Windows-1250, И in Windows-1251
    dm->f_grupe_roba.open();
    dm->f_grupe_roba.append();
    dm->f_grupe_roba.setField("F_SIFRA_GRUPA", 1);
    dm->f_grupe_roba.setField("F_NAZIV_GRUPA", "\xD8");
    dm->f_grupe_roba.post();
    dm->f_operateri.open();
    dm->f_operateri.append();
    dm->f_operateri.setField("F_SIFRA_OPERATERA", 1);
    dm->f_operateri.setField("F_NAZIV_OPERATERA", "\x8A");
    dm->f_operateri.post();

    EXPECT_EQ(gridText(w->DBGrid4, 0, 3), QString::fromUtf8("Čaj"));
    EXPECT_EQ(gridText(w->DBGrid1, 0, 2), QString::fromUtf8("Ř"));
    EXPECT_EQ(gridText(w->DBGrid2, 0, 2), QString::fromUtf8("Š"));
    w->ComboBox3->setCurrentIndex(1);
    EXPECT_EQ(gridText(w->DBGrid4, 0, 3), QString::fromUtf8("Čaj")) << "only Postavi applies it";
    w->Button1->click();
    EXPECT_EQ(gridText(w->DBGrid4, 0, 3), QString::fromUtf8("Иaj"));
    EXPECT_EQ(gridText(w->DBGrid1, 0, 2), QString::fromUtf8("Ш"));
    EXPECT_EQ(gridText(w->DBGrid2, 0, 2), QString::fromUtf8("Љ"));
    w->PrebacinaLatinicu1Click();
    EXPECT_EQ(w->ComboBox3->currentIndex(), 0);
    EXPECT_EQ(gridText(w->DBGrid4, 0, 3), QString::fromUtf8("Čaj"));
    w->PrebacinaCirilicu1Click();
    EXPECT_EQ(gridText(w->DBGrid4, 0, 3), QString::fromUtf8("Иaj"));
    EXPECT_EQ(dm->froba.fieldByName("F_NAZIV_ROBE").asString(), "\xC8" "aj") << "bytes unchanged";
}

// ---- articles ------------------------------------------------------------------------------------

TEST_F(Window, NewArticlesGetTheNextCodeWhateverWasTyped) {
    start();
    withDialog({fillAndOk({{"DBEdit2", "  Mlijeko  "}, {"DBEdit4", "1,20"}, {"DBEdit5", "0"},
                           {"DBEdit6", "3870001"}})},
               [&] { w->BitBtn3Click(); });
    EXPECT_EQ(current("F_SIFRA_ROBE"), "1");
    EXPECT_EQ(current("F_NAZIV_ROBE"), "Mlijeko");
    EXPECT_EQ(current("F_CIJENA_ROBE"), "1.2");
    EXPECT_EQ(current("F_BAR_CODE"), "3870001");
    EXPECT_EQ(current("STAT"), "NOV");
    EXPECT_EQ(current("F_ID_KASE"), "1");
    EXPECT_EQ(current("StopaIme"), "A");

    withDialog({[](TAzuroba& d) {
                   EXPECT_EQ(d.DBEdit1->text(), "2") << "offered code";
                   fillAndOk({{"DBEdit1", "500"}, {"DBEdit2", "Hljeb"}, {"DBEdit5", "2"}})(d);
               }},
               [&] { w->BitBtn3Click(); });
    EXPECT_EQ(current("F_SIFRA_ROBE"), "2") << "the typed code is not kept";
    EXPECT_EQ(current("StopaIme"), "J");
    EXPECT_TRUE(dialogs.errors.empty());

    withDialog({cancelDialog}, [&] { w->BitBtn3Click(); });
    EXPECT_EQ(dm->froba.recordCount(), 2);
    EXPECT_EQ(dm->froba.state(), db::DatasetState::Browse);
}

TEST_F(Window, ArticleRulesReportEveryBrokenRuleInOrderBeforeReopening) {
    start();
    addArticle(12000, "Zadnji");
    withDialog({[](TAzuroba& d) {
                    EXPECT_EQ(d.DBEdit1->text(), "12001");
                    fillAndOk({{"DBEdit2", "X"}})(d);
                },
                fillAndOk({{"DBEdit1", "5"}, {"DBEdit4", "-1"}, {"DBEdit3", "11"}}),
                [](TAzuroba& d) {
                    EXPECT_EQ(d.DBEdit4->text(), "-1") << "what was typed stays";
                    fillAndOk({{"DBEdit4", "2"}, {"DBEdit3", "1"}, {"DBEdit5", "4"}})(d);
                },
                cancelDialog},
               [&] { w->BitBtn3Click(); });
    EXPECT_EQ(dialogs.errors,
              (std::vector<std::string>{"Sifra robe ne moze biti veca od 12000",
                                        "Cijena robe ne moze biti manja od 0",
                                        "Grupa robe nije u dozvoljenim granicama",
                                        "Poreska stopa robe nije u dozvoljenim granicama"}));
    EXPECT_EQ(dm->froba.recordCount(), 1);
}

TEST_F(Window, NumberBoxesRefuseWhatCannotBeANumber) {
    start();
    withDialog({[](TAzuroba& d) {
                    QTest::keyClicks(d.DBEdit4, "1x2.5a");
                    EXPECT_EQ(d.DBEdit4->text(), "12.5");
                    d.DBEdit3->clear();
                    QTest::keyClicks(d.DBEdit3, "-");
                    d.OKButton->click();  // "-" alone is no number: said, and the dialog stays
                    EXPECT_TRUE(d.isVisible());
                    d.DBEdit3->setText("3");
                    d.OKButton->click();
                }},
               [&] { w->BitBtn3Click(); });
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'-' is not a valid floating point value");
    EXPECT_EQ(current("F_CIJENA_ROBE"), "12.5");
    EXPECT_EQ(current("F_SIFRA_GRUPA"), "3");
}

TEST_F(Window, EditingMarksTheArticleChanged) {
    start();
    addArticle(1, "Sok", "NOV");
    withDialog({[](TAzuroba& d) {
                    EXPECT_EQ(d.DBEdit2->text(), "Sok");
                    fillAndOk({{"DBEdit2", "Sok od jabuke i kruske, jedan litar"}})(d);
                }},
               [&] { w->BitBtn4Click(); });
    EXPECT_EQ(current("F_NAZIV_ROBE"), "Sok od jabuke i kruske, jedan li");
    EXPECT_EQ(current("STAT"), "PRO");
    withDialog({[](TAzuroba& d) {
                    d.DBEdit2->setText("Nesto");
                    d.Odustani->click();
                }},
               [&] { w->BitBtn4Click(); });
    EXPECT_EQ(current("F_NAZIV_ROBE"), "Sok od jabuke i kruske, jedan li");

    addArticle(2, "Voda");
    withDialog({fillAndOk({{"DBEdit1", "1"}})}, [&] { w->BitBtn4Click(); });  // a code in use
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].starts_with("Greska upisa podatka u bazu!\r")) << dialogs.errors[0];
    EXPECT_NE(dialogs.errors[0].find("PK_F_ROBA"), std::string::npos);
    EXPECT_EQ(dm->froba.state(), db::DatasetState::Edit) << "held until the next table operation";
    dm->froba.first();
    EXPECT_EQ(stats(), "1:PRO 2: ");
}

TEST_F(Window, MarkingTwiceForDeletionLeavesNoMark) {
    start();
    addArticle(1, "a", "NOV");
    addArticle(2, "b", "PRO");
    dm->froba.first();
    w->BitBtn5Click();
    EXPECT_EQ(current("STAT"), "OBR");
    EXPECT_EQ(current("F_SIFRA_ROBE"), "1") << "stays on the row";
    w->BitBtn5Click();
    EXPECT_EQ(current("STAT"), "");
    EXPECT_EQ(stats(), "1: 2:PRO ");
}

TEST_F(Window, AcceptingAllChangesDropsMarkedArticlesAndClearsTheRest) {
    start();
    addArticle(1, "a", "OBR");
    addArticle(2, "b", "NOV");
    addArticle(3, "c", "PRO");
    addArticle(4, "d", "OBR");
    dm->froba.locate("F_SIFRA_ROBE", 3);
    w->Prihvatisveizmjenebezslanjanakasu1Click();
    EXPECT_EQ(stats(), "2: 3: ");
    EXPECT_EQ(dm->froba.recordCount(), 2);
    EXPECT_EQ(current("F_SIFRA_ROBE"), "3");
    w->Isprazniovutabelu1Click();
    EXPECT_TRUE(dm->froba.isEmpty());
}

TEST_F(Window, MovingAllArticlesToARateMarksOnlyThoseThatChange) {
    start();
    addArticle(1, "a", {}, 2);
    addArticle(2, "b", "OBR", 0);
    addArticle(3, "c", "NOV", 1);
    dialogs.answers = {std::string("2"), std::nullopt, std::string("dva"), std::string("7")};
    w->Prebacisverobeustopu11Click();
    EXPECT_EQ(dialogs.prompts[0], "Nova stopa|Unesite stopu 0-3|");
    EXPECT_EQ(stats(), "1: 2:PRO 3:PRO ");
    ASSERT_TRUE(dm->sqlopen("select count(*) as n from f_roba where f_sifra_por_stope=2"));
    EXPECT_EQ(dm->up.fieldByName("n").asInt(), 3);
    w->Prebacisverobeustopu11Click();  // cancelled
    w->Prebacisverobeustopu11Click();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Pogresan format broja!"});
    w->Prebacisverobeustopu11Click();
    EXPECT_EQ(stats(), "1:PRO 2:PRO 3:PRO ");
    EXPECT_EQ(current("F_SIFRA_POR_STOPE"), "7");
}

TEST_F(Window, SearchBoxesOrderTheGridAndFindTheFirstMatch) {
    start();
    addArticle(1, "mlijeko", {}, 0, "3870002");
    addArticle(2, "MLIJEKO", {}, 0, "3870001");
    addArticle(3, "Banana");
    dm->froba.locate("F_SIFRA_ROBE", 3);

    w->Edit2->setFocus();
    w->Edit2Enter();
    EXPECT_EQ(dm->froba.indexName(), "NAZIV_ROBE");
    QTest::keyClicks(w->Edit2, "MLI");
    QTest::keyClick(w->Edit2, Qt::Key_Return);
    EXPECT_EQ(current("F_SIFRA_ROBE"), "2") << "letter case must match";
    w->Edit2->setText("mlix");
    w->Edit2KeyPress();
    EXPECT_EQ(log().back(), "Trazeni pojam nije pronadjen..");
    EXPECT_EQ(current("F_SIFRA_ROBE"), "2");

    w->Edit3Enter();
    EXPECT_EQ(dm->froba.indexName(), "BAR_CODE");
    w->Edit3->setText("3870002");
    w->Edit3KeyPress();
    EXPECT_EQ(current("F_SIFRA_ROBE"), "1");

    w->Edit1Enter();
    EXPECT_EQ(dm->froba.indexName(), "frobasifra");
    size_t lines = log().size();
    for (const char* missing : {"99", "abc", ""}) {
        w->Edit1->setText(missing);
        w->Edit1KeyPress();
        EXPECT_EQ(current("F_SIFRA_ROBE"), "1") << missing;
    }
    EXPECT_EQ(log().size(), lines) << "a code search that finds nothing says nothing";
    EXPECT_TRUE(dialogs.errors.empty());
    w->Edit1->setText("3");
    w->Edit1KeyPress();
    EXPECT_EQ(current("F_NAZIV_ROBE"), "Banana");
}

TEST_F(Window, TheGridFollowsTheTableAndMovesIt) {
    start();
    for (int i = 1; i <= 5; ++i) addArticle(i, "art" + std::to_string(i));
    dm->froba.locate("F_SIFRA_ROBE", 4);
    EXPECT_EQ(w->DBGrid4->currentIndex().row(), 3);
    w->DBGrid4->setCurrentIndex(w->DBGrid4->model()->index(1, 0));
    EXPECT_EQ(current("F_SIFRA_ROBE"), "2");
    EXPECT_EQ(w->DBGrid4->model()->headerData(1, Qt::Horizontal).toString(), "Fisk Sifra");
    EXPECT_EQ(w->DBGrid4->columnWidth(3), 184);
    EXPECT_EQ(w->DBGrid4->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(Window, StopSetsTheFlag) {
    start();
    w->BitBtn10->click();
    EXPECT_TRUE(w->StopRequested);
}

}  // namespace

