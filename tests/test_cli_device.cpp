// tarvela-cli's device commands as a user runs them: a process against the simulated register
// (--simulate), with the database in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "DM_db_source.h"
#include "TestSupport.h"

namespace {

ProcessResult cli(const TempDir& dir, std::vector<std::string> args) {
    std::vector<std::string> argv{TARVELA_CLI, "--dir", dir.path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

void addArticles(const TempDir& dir, std::vector<std::pair<int, const char*>> rows) {
    Tdm_db dm;
    dm.DatabaseName = dir.file("tarvela.gdb");
    dm.Open();
    dm.froba.open();
    for (auto [code, stat] : rows) {
        dm.froba.append();
        dm.froba.setField("F_ID_KASE", 1);
        dm.froba.setField("F_SIFRA_ROBE", code);
        dm.froba.setField("F_NAZIV_ROBE", "Artikal " + std::to_string(code));
        dm.froba.setField("F_CIJENA_ROBE", code * 1.5);
        dm.froba.setField("F_SIFRA_POR_STOPE", 1);
        dm.froba.setField("STAT", stat);
        dm.froba.post();
    }
}

const std::string Connected = "Lokalna baza podataka otvorena..\nCOM port otvoren..\nVeza OK.. IBO = ORB0000000001\n";

TEST(CliDevice, WritingChangedArticlesToTheSimulatedRegister) {
    TempDir dir;
    addArticles(dir, {{3, "OBR"}, {4, "PRO"}, {5, "NOV"}});
    auto r = cli(dir, {"--simulate", "write-changed"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Connected + "Obrisan artikl broj=3\n");
    EXPECT_EQ(r.err, "");
    auto dump = cli(dir, {"dump", "f_roba"});
    EXPECT_NE(dump.out.find("\n1;4;"), std::string::npos);
    EXPECT_EQ(dump.out.find("\n1;3;"), std::string::npos) << "the OBR article is gone";
    EXPECT_NE(dump.out.find(";OCI\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("tarvela.ini"))) << "the command line writes no settings";

    // The simulated register keeps what it was given: a new run reads it back.
    Tdm_db dm;
    dm.DatabaseName = dir.file("tarvela.gdb");
    dm.Open();
    dm.sqlexec("Delete from f_roba");
    dm.CommitIfActive();
    dm.SQL.detach();
    r = cli(dir, {"--simulate", "read-range", "1", "10"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Connected + "Citam robu iz kase\nCitanje zavrseno\n");
    dump = cli(dir, {"dump", "f_roba"});
    EXPECT_NE(dump.out.find("\n1;4;00000000000000;Artikal 4 "), std::string::npos) << dump.out;
    EXPECT_NE(dump.out.find("\n1;5;00000000000000;Artikal 5 "), std::string::npos) << dump.out;
}

TEST(CliDevice, AdvertisingLinesAndMarkon) {
    TempDir dir;
    auto r = cli(dir, {"--simulate", "write-ads", "Akcija", "Dobrodosli"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Connected + "Pokusavam upis reklamnih poruka!\nUnesen red zaglavlja broj =6\n"
                                 "Unesen red zaglavlja broj =7\n");
    r = cli(dir, {"--simulate", "read-ads"});
    EXPECT_EQ(r.out, Connected + "RED1=Akcija            \nRED2=Dobrodosli        \n");

    r = cli(dir, {"--simulate", "--device", "markon", "read-header"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Lokalna baza podataka otvorena..\nCOM port otvoren..\nVeza OK.. IBO = MK0000000001\n");
}

TEST(CliDevice, CommandsThatCannotRunExitWithOne) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"read-range", "1"}, "read-range needs FROM TO, or all"},
        {{"write-current", "x"}, "'x' is not a number"},
        {{"--device", "kasa", "read-tax"}, "--device is orbella or markon"},
        {{"--port", "/dev/tarvela-no-such-port", "read-tax"}, "Cannot open device COM1\n"},
        {{"--ibfk", "12345", "read-tax"}, "IBFK polje mora imati 6 cifara"},
        {{"write-current", "77"}, "Nepoznata sifra: 77"},
    };
    for (const auto& c : cases) {
        auto r = cli(dir, c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0];
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

}  // namespace
