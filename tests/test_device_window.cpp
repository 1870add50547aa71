// The main window's device commands end to end: real widgets on the offscreen platform, the
// real handlers and protocols, a pty with the simulated register of either model on the far
// end, and an embedded database in a temporary folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <memory>

#include "DM_db_source.h"
#include "QtTestSupport.h"
#include "MarkonDevice.h"
#include "Orbella.h"
#include "OrbellaDevice.h"
#include "PtyDevice.h"
#include "TestSupport.h"
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"
#include "azuriranje.h"
#include "DBEdit.h"
#include "pitanjeopsega.h"

namespace {

enum class Model { Orbella, Markon };

class DeviceWindow : public ::testing::TestWithParam<Model> {
protected:
    void SetUp() override {
        orbella = std::make_shared<sim::OrbellaDevice>("ORB0000000777");
        markon = std::make_shared<sim::MarkonDevice>("MK0000000777");
        sim::PtyDevice::Device peer =
            GetParam() == Model::Orbella
                ? sim::PtyDevice::Device{[this](const uint8_t* b, size_t n) { return orbella->Receive(b, n); },
                                         [this](const sim::Bytes& r, sim::Fault f) { return orbella->Answer(r, f); }}
                : sim::PtyDevice::Device{[this](const uint8_t* b, size_t n) { return markon->Receive(b, n); },
                                         [this](const sim::Bytes& r, sim::Fault f) { return markon->Answer(r, f); }};
        server = std::make_unique<sim::PtyDevice>(peer, 0);
        setenv("TARVELA_COM1", server->Path().c_str(), 1);
        dm = std::make_unique<Tdm_db>();
        w = std::make_unique<TF_Knjizenje>(*dm, link, dialogs, dir.path() + "/");
        w->Pause = [](int) {};
        w->ConnectReadTimeout = 60;  // the simulator answers at once; a lost answer need not cost 300 ms
        w->Orbella().Pause = [](int) {};
        w->show();
        w->TipKase->setItemIndex(GetParam() == Model::Orbella ? 0 : 1);
    }

    void TearDown() override {
        w->close();
        w.reset();
        dm.reset();
        unsetenv("TARVELA_COM1");
    }

    void connectDevice() {
        w->BitBtn1Click();
        ASSERT_TRUE(w->Connected) << lastLog();
    }

    void addArticle(int code, const std::string& name, const db::Value& stat, double price = 1) {
        auto& t = dm->froba;
        t.append();
        t.setField("F_ID_KASE", 1);
        t.setField("F_SIFRA_ROBE", code);
        t.setField("F_NAZIV_ROBE", name);
        t.setField("F_CIJENA_ROBE", price);
        t.setField("F_SIFRA_POR_STOPE", 1);
        t.setField("F_SIFRA_GRUPA", 2);
        t.setField("STAT", stat);
        t.post();
    }

    std::vector<std::string> log() {
        std::vector<std::string> lines;
        for (const QString& l : w->Memo1->toPlainText().split('\n'))
            if (!l.isEmpty()) lines.push_back(l.toStdString());
        return lines;
    }
    std::string lastLog() {
        auto l = log();
        return l.empty() ? "" : l.back();
    }
    std::string stats() {
        std::string s;
        EXPECT_TRUE(dm->sqlopen("select f_sifra_robe, stat from f_roba order by f_sifra_robe"));
        for (dm->up.first(); !dm->up.eof(); dm->up.next())
            s += dm->up.fieldByName("F_SIFRA_ROBE").asString() + ":" + dm->up.fieldByName("STAT").asString() + " ";
        return s;
    }
    // Answers the range dialog once it is up.
    void withRange(const std::function<void(Topseg&)>& fill, const std::function<void()>& command) {
        QTimer t;
        QObject::connect(&t, &QTimer::timeout, [&] {
            if (w->opseg->isVisible()) fill(*w->opseg);
        });
        t.start(5);
        command();
    }
    bool deviceHas(int code) {
        if (GetParam() == Model::Orbella) return orbella->memory().articles[code - 1].name[0] != 0xFF;
        auto it = markon->memory().articles.find(code);
        return it != markon->memory().articles.end() && !it->second.name.empty();
    }

    TempDir dir;
    std::shared_ptr<sim::OrbellaDevice> orbella;
    std::shared_ptr<sim::MarkonDevice> markon;
    std::unique_ptr<sim::PtyDevice> server;
    ScriptedDialogs dialogs;
    TF_Podesavanje link;
    std::unique_ptr<Tdm_db> dm;
    std::unique_ptr<TF_Knjizenje> w;
};

INSTANTIATE_TEST_SUITE_P(BothModels, DeviceWindow, ::testing::Values(Model::Orbella, Model::Markon),
                         [](const auto& info) { return info.param == Model::Orbella ? "Orbella" : "Markon"; });

TEST_P(DeviceWindow, ConnectAndDisconnect) {
    w->BitBtn1Click();
    const std::string ibo = GetParam() == Model::Orbella ? "ORB0000000777" : "MK0000000777";
    EXPECT_EQ(log(), (std::vector<std::string>{"Lokalna baza podataka otvorena..", "COM port otvoren..",
                                               "Veza OK.. IBO = " + ibo}));
    EXPECT_TRUE(w->Connected);
    EXPECT_EQ(w->BitBtn1->text(), "Odspoji se");
    EXPECT_FALSE(w->TipKase->isEnabled());
    int before = server->RequestsSeen();
    w->BitBtn1Click();
    EXPECT_FALSE(w->Connected);
    EXPECT_EQ(w->BitBtn1->text(), "Povezi se");
    EXPECT_TRUE(w->TipKase->isEnabled());
    EXPECT_EQ(server->RequestsSeen() - before, GetParam() == Model::Orbella ? 1 : 0) << "0x79 for the Orbella only";
}

TEST_P(DeviceWindow, FailedConnectsAndReconnecting) {
    server->InjectFault(sim::Fault::Silence);
    if (GetParam() == Model::Markon) server->InjectFault(sim::Fault::Silence);
    w->BitBtn1Click();
    EXPECT_EQ(lastLog(), "Kasa nije odgovorila");
    EXPECT_FALSE(w->Connected);
    EXPECT_EQ(w->BitBtn1->text(), "Spoji se");
    EXPECT_TRUE(w->TipKase->isEnabled());

    // A port left open by an exchange that ended in an error does not block the next connect.
    link.XComm1.OpenDevice();
    w->BitBtn1Click();
    EXPECT_TRUE(w->Connected) << lastLog();
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_P(DeviceWindow, APortThatCannotBeOpenedIsShownWithItsReason) {
    w->ComboBox1->setCurrentIndex(-1);  // no port: COM0
    size_t lines = log().size();
    w->BitBtn1Click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open device COM0\rNo such port");
    EXPECT_EQ(log().size(), lines) << "no log line";
    EXPECT_EQ(w->BitBtn1->text(), "Povezi se");
}

TEST_P(DeviceWindow, IbfkIsCheckedForTheOrbellaOnly) {
    for (const char* ibfk : {"00002", "00002A"}) {
        dialogs.errors.clear();
        w->Edit4->setText(ibfk);
        w->BitBtn1Click();
        if (GetParam() == Model::Orbella) {
            ASSERT_EQ(dialogs.errors.size(), 1u);
            EXPECT_EQ(dialogs.errors[0], std::string(ibfk).size() == 5 ? "IBFK polje mora imati 6 cifara"
                                                                      : "IBFK polje mora biti broj");
            EXPECT_FALSE(link.XComm1.IsOpen());
        } else {
            EXPECT_TRUE(w->Connected);
            w->BitBtn1Click();
        }
    }
}

TEST_P(DeviceWindow, WritingChangedArticlesDeletesOneAndWritesTwo) {
    addArticle(3, "Brisi", "OBR");
    addArticle(4, "Promijenjen", "PRO");
    addArticle(5, "Nov", "NOV");
    addArticle(6, "Procitan", "OCI");
    addArticle(7, "Bez oznake", {});
    connectDevice();
    int before = server->RequestsSeen();
    w->Upisisamopromjenjenerobe1Click();
    EXPECT_EQ(server->RequestsSeen() - before, 5) << "one deletion, two writes and their read-backs";
    EXPECT_EQ(stats(), "4:OCI 5:OCI 6:OCI 7: ");
    EXPECT_TRUE(deviceHas(4));
    EXPECT_TRUE(deviceHas(5));
    EXPECT_FALSE(deviceHas(6));
    auto lines = log();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Obrisan artikl broj=3"), lines.end());
    EXPECT_EQ(w->pb->Completed(), 0);

    before = server->RequestsSeen();
    w->Upisisve1Click();
    EXPECT_EQ(server->RequestsSeen() - before, 6) << "every OCI row is written again, and read back";
    EXPECT_TRUE(deviceHas(6));
    EXPECT_EQ(stats(), "4:OCI 5:OCI 6:OCI 7: ");
}

TEST_P(DeviceWindow, ARefusedWriteIsLoggedAndKeepsItsMark) {
    addArticle(4, "Promijenjen", "PRO");
    connectDevice();
    server->InjectFault(sim::Fault::RefuseWrite);
    w->Upisisamotrenutnurobu1Click();
    EXPECT_EQ(lastLog(), "Greska upisa artikla broj=4");
    EXPECT_EQ(stats(), "4:PRO ");
}

TEST_P(DeviceWindow, NotConnectedCommandsSayItAndDoNothing) {
    addArticle(4, "a", "PRO");
    for (auto command : {&TF_Knjizenje::Upisisamotrenutnurobu1Click, &TF_Knjizenje::Upisisamopromjenjenerobe1Click,
                         &TF_Knjizenje::Upisisve1Click, &TF_Knjizenje::MenuItem1Click, &TF_Knjizenje::MenuItem2Click}) {
        (w.get()->*command)();
        EXPECT_EQ(lastLog(), "Kasa nije spojena...");
    }
    EXPECT_EQ(server->RequestsSeen(), 0);
}

TEST_P(DeviceWindow, DeletingARangeSendsEveryCodeAndLeavesTheTable) {
    addArticle(12, "Ostaje", "OCI");
    connectDevice();  // (the Orbella's address bytes come with connecting)
    w->BitBtn1Click();
    dialogs.answers = {std::string("10"), std::string("20")};
    int before = server->RequestsSeen();
    w->Obrisiviserobaukasi1Click();  // runs even while not connected
    EXPECT_EQ(server->RequestsSeen() - before, 11);
    EXPECT_EQ(stats(), "12:OCI ");

    dialogs.answers = {std::string("20"), std::string("10")};
    w->Obrisiviserobaukasi1Click();
    EXPECT_EQ(dialogs.errors.back(), "Gornja granica ne moze biti manja od donje");
    dialogs.answers = {std::string("x")};
    w->Obrisiviserobaukasi1Click();
    EXPECT_EQ(dialogs.messages.back(), "Pogresan unos sifre robe - pokusaj ponovo");
}

TEST_P(DeviceWindow, ReadingARangeOfCodes) {
    connectDevice();
    size_t lines = log().size();
    withRange([](Topseg& d) {
        d.RadioButton1->setChecked(true);
        d.Edit1->setText("5");
        d.Edit2->setText("3");
        d.OKButton->click();
    }, [&] { w->MenuItem2Click(); });
    auto lines1 = log();
    EXPECT_EQ(std::vector<std::string>(lines1.begin() + static_cast<long>(lines), lines1.end()),
              (std::vector<std::string>{"Citam robu iz kase", "Citanje zavrseno"}));

    lines = log().size();
    withRange([](Topseg& d) {
        d.Edit1->setText("12001");
        d.OKButton->click();
    }, [&] { w->MenuItem2Click(); });
    EXPECT_EQ(log().size(), lines) << "a lower bound above 12000 ends without a line";

    withRange([](Topseg& d) {
        d.Edit1->setText("x");
        d.OKButton->click();
    }, [&] { w->MenuItem2Click(); });
    EXPECT_EQ(dialogs.errors.back(), "Pogresan format broja OD");

    // Articles 2 and 3 are on the device; reading 1..4 stores them with OCI.
    for (int code : {2, 3}) {
        addArticle(code, "Art" + std::to_string(code), "NOV");
        dm->froba.locate("F_SIFRA_ROBE", code);
        w->Upisisamotrenutnurobu1Click();
    }
    dm->sqlexec("Delete from f_roba");
    dm->froba.refresh();
    int before = server->RequestsSeen();
    withRange([](Topseg& d) {
        d.Edit1->setText("1");
        d.Edit2->setText("4");
        d.OKButton->click();
    }, [&] { w->MenuItem2Click(); });
    EXPECT_EQ(server->RequestsSeen() - before, 4);
    EXPECT_EQ(stats(), "2:OCI 3:OCI ");
}

TEST_P(DeviceWindow, ReadingEverythingCoversTheModelsRangeAndStopEndsIt) {
    connectDevice();
    int before = server->RequestsSeen();
    withRange([](Topseg& d) {
        d.RadioButton2->setChecked(true);
        d.OKButton->click();
    }, [&] { w->MenuItem2Click(); });
    // The Orbella reads 1..12000, of which 12000 itself sends nothing; the Markon 1..7100.
    EXPECT_EQ(server->RequestsSeen() - before, GetParam() == Model::Orbella ? 11999 : 7100);

    before = server->RequestsSeen();
    QTimer stop;
    QObject::connect(&stop, &QTimer::timeout, [&] {
        if (server->RequestsSeen() - before >= 50) w->BitBtn10->click();
    });
    stop.start(1);
    withRange([](Topseg& d) {
        d.RadioButton2->setChecked(true);
        d.OKButton->click();
    }, [&] { w->MenuItem2Click(); });
    EXPECT_LT(server->RequestsSeen() - before, 1000) << "Stop ended the loop";
    EXPECT_EQ(lastLog(), "Citanje zavrseno");
}


// ---- operators and groups ---------------------------------------------------------------------

// Answers the operator or group dialog each time it comes up.
void answerRowDialog(TRowDialog* d, std::deque<std::function<void(TRowDialog&)>> actions,
                     const std::function<void()>& command) {
    QTimer t;
    QObject::connect(&t, &QTimer::timeout, [&] {
        if (d->isVisible() && !actions.empty()) {
            auto a = actions.front();
            actions.pop_front();
            a(*d);
        }
    });
    t.start(5);
    command();
    EXPECT_TRUE(actions.empty());
}

std::function<void(TRowDialog&)> fillRow(QString first, QString second) {
    return [first, second](TRowDialog& d) {
        d.DBEdit1->setText(first);
        d.DBEdit2->setText(second);
        d.OKButton->click();
    };
}

TEST_P(DeviceWindow, OperatorsAreKeptLocallyAndMovedToTheDevice) {
    w->TabSheet3Show();
    answerRowDialog(w->AzuOperater, {fillRow("  Ana  ", "1234")}, [&] { w->BitBtn22Click(); });
    answerRowDialog(w->AzuOperater, {fillRow("Marko", "")}, [&] { w->BitBtn22Click(); });
    db::Table& t = dm->f_operateri;
    EXPECT_EQ(t.recordCount(), 2);
    t.first();
    EXPECT_EQ(t.fieldByName("F_SIFRA_OPERATERA").asString(), "1") << "the first operator gets 1";
    EXPECT_EQ(t.fieldByName("STAT").asString(), "NOV");
    w->BitBtn24Click();
    EXPECT_EQ(t.fieldByName("STAT").asString(), "OBR");
    w->BitBtn24Click();
    EXPECT_EQ(t.fieldByName("STAT").asString(), "") << "Obrisi on OBR clears the mark";
    t.edit();
    t.setField("STAT", "PRO");
    t.post();

    connectDevice();
    w->BitBtn25Click();
    EXPECT_EQ(t.recordCount(), 2);
    ASSERT_TRUE(t.locate("F_SIFRA_OPERATERA", 1));
    EXPECT_EQ(t.fieldByName("STAT").asString(), "OCI") << "written and read back";
    ASSERT_TRUE(t.locate("F_SIFRA_OPERATERA", 2));
    EXPECT_EQ(t.fieldByName("STAT").asString(), "OCI") << "an operator without a password goes too";
    EXPECT_TRUE(dialogs.errors.empty());

    int before = server->RequestsSeen();
    w->BitBtn26Click();
    EXPECT_EQ(server->RequestsSeen() - before, GetParam() == Model::Orbella ? 25 : 18);
}

TEST_P(DeviceWindow, OperatorLimitAndTheMarkonPassword) {
    for (int n = 1; n <= 25; ++n) {
        dm->f_operateri.open();
        dm->f_operateri.append();
        dm->f_operateri.setField("F_ID_KASE", 1);
        dm->f_operateri.setField("F_SIFRA_OPERATERA", n);
        dm->f_operateri.post();
    }
    w->BitBtn22Click();
    EXPECT_EQ(dialogs.errors.back(), "Dozvoljeno je max 25 operatera!");

    dm->f_operateri.first();
    int before = server->RequestsSeen();
    dialogs.answers = {std::string("1"), std::string("100000")};
    w->MarkonPostavilozinkuoperatera1Click();
    EXPECT_EQ(server->RequestsSeen(), before) << "100000 is out of range: nothing sent";
    EXPECT_EQ(dm->f_operateri.fieldByName("F_LOZINKA_OPERATERA").asString(), "");
    dialogs.answers = {std::string("1"), std::string("1234")};
    w->MarkonPostavilozinkuoperatera1Click();
    EXPECT_EQ(dm->f_operateri.fieldByName("F_LOZINKA_OPERATERA").asString(), "1234")
        << "stored whatever the device said";
    dialogs.answers = {std::string("x"), std::string("1")};
    w->MarkonPostavilozinkuoperatera1Click();
    EXPECT_EQ(dialogs.errors.back(), "Greska unosa broja stara sifra");
}

TEST_P(DeviceWindow, GroupsKeepTheirRateLimitsAndGoToAnOrbellaOnly) {
    w->TabSheet4Show();
    answerRowDialog(w->AzuGrupa, {fillRow("MLIJEKO", "7")}, [&] { w->BitBtn19Click(); });
    db::Table& t = dm->f_grupe_roba;
    EXPECT_EQ(t.fieldByName("PORSTOPA").asString(), "3") << "a new group's rate is clamped";
    answerRowDialog(w->AzuGrupa, {fillRow("MLIJEKO", "7")}, [&] { w->BitBtn20Click(); });
    EXPECT_EQ(t.fieldByName("PORSTOPA").asString(), "7") << "an edited one keeps it";
    EXPECT_EQ(t.fieldByName("STAT").asString(), "PRO");
    answerRowDialog(w->AzuGrupa, {fillRow("VOCE", "1")}, [&] { w->BitBtn19Click(); });  // NOV

    connectDevice();
    int before = server->RequestsSeen();
    w->BitBtn18Click();
    if (GetParam() == Model::Orbella) {
        EXPECT_EQ(server->RequestsSeen() - before, 2) << "PRO and NOV groups";
        EXPECT_EQ(std::string(reinterpret_cast<char*>(orbella->memory().groups[1].name), 4), "VOCE");
    } else {
        EXPECT_EQ(server->RequestsSeen() - before, 0) << "nothing goes to a Markon";
    }
    before = server->RequestsSeen();
    w->BitBtn17Click();
    EXPECT_EQ(server->RequestsSeen() - before, GetParam() == Model::Orbella ? 8 : 50);
}

// ---- tax rates, header, advertising lines -----------------------------------------------------

TEST_P(DeviceWindow, TaxRatesRoundTrip) {
    w->PageControl1->setCurrentIndex(1);
    EXPECT_FALSE(w->BitBtn15->isEnabled());
    w->DBEdit7->setText("");
    QTest::keyClicks(w->DBEdit7, "18");
    EXPECT_TRUE(w->BitBtn15->isEnabled()) << "typing starts editing";
    EXPECT_TRUE(w->BitBtn16->isEnabled());
    w->BitBtn16->click();
    EXPECT_EQ(w->DBEdit7->text(), "0") << "Odustani restores the saved value";
    EXPECT_FALSE(w->BitBtn15->isEnabled());

    for (auto [box, value] : {std::pair{w->DBEdit7, "18"}, {w->DBEdit8, "8"}, {w->DBEdit9, "0"}, {w->DBEdit10, "99.99"}}) {
        box->clear();
        QTest::keyClicks(box, value);
    }
    w->BitBtn15->click();
    connectDevice();
    w->BitBtn14Click();
    dm->sqlexec("Update poreskestope set a=1, e=1, j=1, k=1");
    dm->porstope.refresh();
    w->BitBtn13Click();
    dm->porstope.refresh();
    EXPECT_EQ(w->DBEdit7->text(), "18");
    EXPECT_EQ(w->DBEdit8->text(), "8");
    EXPECT_EQ(w->DBEdit9->text(), "0");
    EXPECT_EQ(w->DBEdit10->text(), "99.99");
}

TEST_P(DeviceWindow, TheHeaderGoesToTheOrbellaAndComesBackFromBoth) {
    w->PageControl1->setCurrentIndex(4);
    dm->f_objekat.edit();  // the empty table gets its row
    dm->f_objekat.setField("F_ID_KASE", 1);
    dm->f_objekat.setField("F_RBR", 1);
    dm->f_objekat.setField("F_NAZIV_OBJEKTA", "Prodavnica Centar 12");
    dm->f_objekat.post();
    connectDevice();
    w->BitBtn8Click();
    EXPECT_EQ(lastLog(), "Pokusavam upis naziva firme!");
    if (GetParam() == Model::Orbella) {
        EXPECT_EQ(dm->f_objekat.fieldByName("F_NAZIV_OBJEKTA").asString(), "Prodavnica Centar")
            << "the first 18 characters, read back and trimmed";
    } else {
        markon->memory().lines[40] = "MARKET 1";
        markon->memory().lines[44] = "051/222";
        dm->sqlexec("Delete from f_objekat");
        dm->f_objekat.refresh();
        w->BitBtn2Click();
        dm->f_objekat.first();
        EXPECT_EQ(dm->f_objekat.fieldByName("F_NAZIV_OBJEKTA").asString(), "MARKET 1");
        EXPECT_EQ(dm->f_objekat.fieldByName("F_TEL_BROJ").asString(), "051/222");
        EXPECT_EQ(dm->f_objekat.fieldByName("F_ID_KASE").asString(), "1");
        EXPECT_EQ(dm->f_objekat.fieldByName("F_RBR").asString(), "1");
    }
}

TEST_P(DeviceWindow, AdvertisingLinesAreWrittenAndReadBackFromAnOrbella) {
    if (GetParam() == Model::Markon) GTEST_SKIP() << "the line commands are the Orbella's";
    connectDevice();
    w->Edit5->setText("Akcija do petka");
    w->Edit6->setText("Hvala na posjeti, dodjite opet");
    w->BitBtn28Click();
    EXPECT_EQ(w->Edit5->text(), "Akcija do petka   ") << "18 characters, as the device holds them";
    EXPECT_EQ(w->Edit6->text(), "Hvala na posjeti, ");
    w->BitBtn1Click();
    w->BitBtn27Click();
    EXPECT_EQ(lastLog(), "Kasa nije spojena");
}

}  // namespace

