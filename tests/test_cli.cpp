// tarvela-cli as a user runs it, and the database as other processes see it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "TestSupport.h"

extern char** environ;

namespace {

ProcessResult cli(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv{TARVELA_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, env);
}

// A child that posts an article and then keeps the database open until we kill it.
class HoldingChild {
public:
    HoldingChild(const std::string& dir, const std::string& code, const std::string& name) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        const char* argv[] = {DB_CHILD, dir.c_str(), code.c_str(), name.c_str(), nullptr};
        if (posix_spawn(&pid_, DB_CHILD, &fa, nullptr, const_cast<char**>(argv), environ) != 0)
            throw std::runtime_error("cannot start the child");
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        out_ = fdopen(fds[0], "r");
    }
    ~HoldingChild() {
        kill();
        if (out_) fclose(out_);
    }
    std::string firstLine() {
        char buf[64] = {};
        return fgets(buf, sizeof buf, out_) ? std::string(buf) : std::string();
    }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
    FILE* out_ = nullptr;
};

TEST(Cli, DumpCreatesTheDatabaseAndPrintsTheSeedRows) {
    TempDir dir;
    auto r = cli({"--dir", dir.path(), "dump", "stope"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ID;NAZIV\n0;A\n1;E\n2;J\n3;K\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("tarvela.gdb")));
    r = cli({"--dir", dir.path(), "dump", "F_ROBA"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "F_ID_KASE;F_SIFRA_ROBE;F_BAR_CODE;F_NAZIV_ROBE;F_SIFRA_GRUPA;F_SIFRA_POR_STOPE;"
              "F_CIJENA_ROBE;F_KOLICINA;STAT\n");
}

TEST(Cli, BadArgumentsExitWithOneAndSayWhy) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{}, "no command"},
        {{"--dir"}, "--dir needs a value"},
        {{"--dir", dir.path(), "frobnicate"}, "unknown command"},
        {{"--dir", dir.path(), "dump"}, "dump needs"},
        {{"--dir", dir.path(), "dump", "no_table"}, "Nepoznata tabela: no_table"},
    };
    for (const auto& c : cases) {
        auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST(Cli, AFileThatIsNotADatabaseIsReportedAndLeftAlone) {
    TempDir dir;
    std::string text;
    while (text.size() < 20000) text += "COM PORT INDEX=0\r\nnot a database\r\n";
    writeFile(dir.file("tarvela.gdb"), text);
    auto r = cli({"--dir", dir.path(), "dump", "f_roba"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Greska otvaranja baze podataka!"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not a valid database"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir.file("tarvela.gdb")), text);
}

TEST(Cli, AFolderWhereNoDatabaseCanBeCreatedIsReported) {
    TempDir dir;
    writeFile(dir.file("plainfile"), "x");
    auto r = cli({"--dir", dir.file("plainfile"), "dump", "f_roba"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Greska otvaranja baze podataka!"), std::string::npos) << r.err;
}

// Root may write anywhere, so the read-only folder is tried as the unprivileged user nobody.
TEST(Cli, AReadOnlyFolderIsReportedWithTheSystemReason) {
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    std::filesystem::create_directory(dir.file("ro"));
    std::filesystem::create_directory(dir.file("lock"));
    chmod(dir.file("lock").c_str(), 0777);
    std::vector<std::string> prefix;
    if (geteuid() == 0)
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    else
        chmod(dir.file("ro").c_str(), 0555);
    auto asUser = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = prefix;
        argv.push_back(TARVELA_CLI);
        argv.insert(argv.end(), args.begin(), args.end());
        return runProcess(argv, {"FIREBIRD_LOCK=" + dir.file("lock")});
    };
    if (asUser({"--help"}).exitCode != 0) GTEST_SKIP() << "cannot run the program as nobody here";
    auto r = asUser({"--dir", dir.file("ro"), "dump", "f_roba"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Greska otvaranja baze podataka!"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("ro")));
}

// A post is committed when it is made: killing the program right after loses nothing.
// While that program runs, a second one is refused the database with a clear message.
TEST(Cli, APostSurvivesAKillAndTheDatabaseIsNotShared) {
    TempDir dir;
    ASSERT_EQ(cli({"--dir", dir.path(), "dump", "stope"}).exitCode, 0);
    HoldingChild child(dir.path(), "42", "Hljeb \xC8");
    ASSERT_EQ(child.firstLine(), "posted\n");

    auto busy = cli({"--dir", dir.path(), "dump", "f_roba"});
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_NE(busy.err.find("Greska otvaranja baze podataka!"), std::string::npos) << busy.err;

    child.kill();
    auto r = cli({"--dir", dir.path(), "dump", "f_roba"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\n1;42;;Hljeb \xC8;;;;;NOV\n"), std::string::npos) << r.out;
}

}  // namespace

namespace {

// Firebird's own console reads a database that the program built: every table, column,
// type, width, required flag and index name, as the engine reports them.
TEST(Schema, TheEnginesOwnToolSeesEveryTableColumnAndIndex) {
    TempDir dir;
    ASSERT_EQ(cli({"--dir", dir.path(), "dump", "stope"}).exitCode, 0);
    auto r = runProcess({ISQL, "-q", dir.file("tarvela.gdb"), "-u", "ravlen", "-p", "x", "-i",
                         GOLDEN_DIR "/schema.sql"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, readFile(GOLDEN_DIR "/schema.txt"));
}

}  // namespace
