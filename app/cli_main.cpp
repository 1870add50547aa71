// tarvela-cli: the program's commands without a window. It runs the very same handlers as the
// window (built off-screen): every status-log line goes to standard output, every error
// dialog's text to standard error.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DM_db_source.h"
#include "Dialogs.h"
#include "ProgramDir.h"
#include "Settings.h"
#include "Simulator.h"
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"
#include "pitanjeopsega.h"
#include "Q_listaArtikala.h"

namespace {

const char* const Usage =
    "usage: tarvela-cli [options] COMMAND [ARGS]\n"
    "options (each defaults to DIR/tarvela.ini, then to the window's default):\n"
    "  --dir DIR                    folder of tarvela.gdb and tarvela.ini (default: the program's)\n"
    "  --device orbella|markon      device type\n"
    "  --port COMn|PATH             serial port, a COM name or a device path\n"
    "  --speed 9600|57600           line speed\n"
    "  --ibfk DIGITS  --ibsa TEXT   identification of the shop (IBFK: Orbella only)\n"
    "  --codepage latinica|cirilica font code page of names\n"
    "  --simulate                   talk to a simulated register (memory kept in DIR)\n"
    "device commands (connect, run, disconnect):\n"
    "  write-current CODE | write-changed | write-all | delete-range FROM TO\n"
    "  read-current CODE | read-range FROM TO | read-range all\n"
    "  read-operators | write-operators | set-password CODE OLD NEW\n"
    "  read-groups | write-groups | read-tax | write-tax | read-header | write-header\n"
    "  read-ads | write-ads LINE1 LINE2\n"
    "local commands:\n"
    "  accept-all | set-rate N | dump TABLE | export FILE.xlsx | import FILE.xlsx|FILE.xls\n"
    "  print FILE.pdf   the printed article list as a PDF file\n";

int usageError(const std::string& what) {
    std::cerr << what << "\n" << Usage;
    return 1;
}

void printLine(std::ostream& out, const std::string& text) {
    std::string t = text;
    for (size_t i = 0; (i = t.find('\r', i)) != std::string::npos;)
        t.replace(i, t[i + 1] == '\n' ? 2 : 1, "\n");
    out.write(t.data(), static_cast<std::streamsize>(t.size()));
    out << '\n';
    out.flush();
}

// Error dialogs and messages on standard error; prompts answered from the command's arguments.
class CliDialogs : public Dialogs {
public:
    void ShowError(const std::string& text) override { printLine(std::cerr, text); }
    void ShowMessage(const std::string& text) override { printLine(std::cerr, text); }
    std::optional<std::string> InputQuery(const std::string&, const std::string&, const std::string&) override {
        if (answers.empty()) return std::nullopt;
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> SaveFileName(const std::string&) override { return file; }
    std::optional<std::string> OpenFileName(const std::string&) override { return file; }
    std::deque<std::string> answers;
    std::optional<std::string> file;
};

db::Table* tableNamed(Tdm_db& dm, const std::string& name) {
    for (db::Table* t : {&dm.froba, &dm.f_por_stope, &dm.f_objekat, &dm.f_operateri, &dm.f_grupe_roba,
                         &dm.Stope, &dm.porstope})
        if (db::equalsIgnoreCase(t->def().name, name)) return t;
    return nullptr;
}

// Header line of the column names, then one line per row: fields separated by ";", null as
// empty, numbers in their shortest exact form, text bytes exactly as stored.
int dump(const std::string& dir, const std::string& name) {
    Tdm_db dm;
    dm.DatabaseName = dir + Tdm_db::FileName;
    try {
        dm.Open();
    } catch (const std::exception& e) {
        std::cerr << "Greska otvaranja baze podataka!\n" << e.what() << "\n";
        return 1;
    }
    db::Table* t = tableNamed(dm, name);
    if (!t) {
        std::cerr << "Nepoznata tabela: " << name << "\n";
        return 1;
    }
    t->open();
    std::string out;
    auto names = t->fieldNames();
    auto line = [&](auto&& field) {
        for (size_t i = 0; i < names.size(); ++i) {
            if (i) out += ';';
            out += field(i);
        }
        out += '\n';
    };
    line([&](size_t i) { return names[i]; });
    for (int r = 0; r < t->recordCount(); ++r)
        line([&](size_t i) { return t->valueAt(r, static_cast<int>(i)).asString(); });
    std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    return 0;
}

// The commands and how many arguments each takes.
const std::map<std::string, std::vector<size_t>> Commands = {
    {"write-current", {1}}, {"write-changed", {0}}, {"write-all", {0}}, {"delete-range", {2}},
    {"read-current", {1}},  {"read-range", {1, 2}}, {"read-operators", {0}}, {"write-operators", {0}},
    {"set-password", {3}},  {"read-groups", {0}},   {"write-groups", {0}},   {"read-tax", {0}},
    {"write-tax", {0}},     {"read-header", {0}},   {"write-header", {0}},   {"read-ads", {0}},
    {"write-ads", {2}},     {"accept-all", {0}},    {"set-rate", {1}},       {"dump", {1}},
    {"export", {1}},        {"import", {1}},        {"print", {1}}};

bool isNumber(const std::string& s) {
    int v;
    return parseInt(s, v);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = programDirectory();
    std::map<std::string, std::string> opt;
    bool simulate = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help") {
            std::cout << Usage;
            return 0;
        }
        if (a == "--simulate") {
            simulate = true;
        } else if (a == "--dir" || a == "--device" || a == "--port" || a == "--speed" || a == "--ibfk" ||
                   a == "--ibsa" || a == "--codepage") {
            if (++i >= argc) return usageError(a + " needs a value");
            (a == "--dir" ? dir : opt[a]) = a == "--dir" ? asDirectory(argv[i]) : std::string(argv[i]);
        } else if (a.rfind("--", 0) == 0) {
            return usageError("unknown option: " + a);
        } else {
            args.push_back(a);
        }
    }
    if (args.empty()) return usageError("no command given");
    const std::string cmd = args[0];
    args.erase(args.begin());
    auto known = Commands.find(cmd);
    if (known == Commands.end()) return usageError("unknown command: " + cmd);
    bool countOk = false;
    for (size_t n : known->second) countOk = countOk || n == args.size();
    if (!countOk) return usageError(cmd + " needs " + std::to_string(known->second.back()) + " argument(s)");
    if (cmd == "dump") return dump(dir, args[0]);
    if (cmd == "read-range" && args.size() == 1 && args[0] != "all") return usageError("read-range needs FROM TO, or all");
    for (size_t i = 0; i < args.size(); ++i) {
        bool textArg = cmd == "write-ads" || cmd == "export" || cmd == "import" || cmd == "print" ||
                       (cmd == "read-range" && args[i] == "all");
        if (!textArg && !isNumber(args[i])) return usageError(cmd + ": '" + args[i] + "' is not a number");
    }
    if (opt.count("--device") && opt["--device"] != "orbella" && opt["--device"] != "markon")
        return usageError("--device is orbella or markon");
    if (opt.count("--speed") && opt["--speed"] != "9600" && opt["--speed"] != "57600")
        return usageError("--speed is 9600 or 57600");
    if (opt.count("--codepage") && opt["--codepage"] != "latinica" && opt["--codepage"] != "cirilica")
        return usageError("--codepage is latinica or cirilica");

    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error carries the error dialogs' texts only, not the toolkit's remarks.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << msg.toStdString() << "\n";
    });
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName("Zentor Tarvela");

    Tdm_db dm;
    CliDialogs dialogs;
    TF_Podesavanje link;
    TF_Knjizenje w(dm, link, dialogs, dir);
    w.SaveSettingsOnClose = false;  // the command line never rewrites the settings
    w.LogSink = [](const std::string& line) { printLine(std::cout, line); };
    w.show();  // reads tarvela.ini and opens the database
    if (!dm.Connected()) return 1;

    if (opt.count("--device")) w.TipKase->setItemIndex(opt["--device"] == "markon" ? 1 : 0);
    if (opt.count("--speed")) w.ComboBox2->setCurrentIndex(opt["--speed"] == "9600" ? 0 : 1);
    if (opt.count("--ibfk")) w.Edit4->setText(QString::fromLatin1(opt["--ibfk"].c_str()));
    if (opt.count("--ibsa")) w.Edit7->setText(QString::fromLatin1(opt["--ibsa"].c_str()));
    if (opt.count("--codepage")) {
        w.ComboBox3->setCurrentIndex(opt["--codepage"] == "cirilica" ? 1 : 0);
        w.Button1Click();
    }
    if (opt.count("--port")) {
        const std::string& port = opt["--port"];
        if (port.rfind("/", 0) == 0) {
            setenv(("TARVELA_COM" + std::to_string(std::max(1, w.ComboBox1->currentIndex() + 1))).c_str(),
                   port.c_str(), 1);
            if (w.ComboBox1->currentIndex() < 0) w.ComboBox1->setCurrentIndex(0);
        } else {
            int n = 0;
            if (port.size() < 4 || port.compare(0, 3, "COM") != 0 || !parseInt(port.substr(3), n) || n < 1 || n > 9)
                return usageError("--port is COM1..COM9 or a device path");
            w.ComboBox1->setCurrentIndex(n - 1);
        }
    }
    std::unique_ptr<SimulatedRegister> simulated;
    if (simulate) {
        simulated = std::make_unique<SimulatedRegister>(dir);
        w.BeforeConnect = [&] { simulated->PointAt(w.TipKase->ItemIndex(), std::max(0, w.ComboBox1->currentIndex())); };
    }

    auto locate = [&](db::Table& t, const char* field, const std::string& code) {
        t.open();
        if (t.locate(field, std::stod(code))) return true;
        std::cerr << "Nepoznata sifra: " << code << "\n";
        return false;
    };

    // Local commands.
    if (cmd == "accept-all") {
        w.Prihvatisveizmjenebezslanjanakasu1Click();
        return 0;
    }
    if (cmd == "print") {
        try {
            w.repLA().SavePdf(args[0]);
        } catch (const std::exception& e) {
            printLine(std::cerr, e.what());
            return 1;
        }
        return 0;
    }
    if (cmd == "export" || cmd == "import") {
        dialogs.file = args[0];
        if (cmd == "export") w.BitBtn6Click();
        else w.BitBtn7Click();
        return 0;
    }
    if (cmd == "set-rate") {
        dialogs.answers = {args[0]};
        w.Prebacisverobeustopu11Click();
        return 0;
    }

    // Device commands: connect as "Povezi se" does, run, disconnect as the button does.
    if (cmd == "write-current" || cmd == "read-current")
        if (!locate(dm.froba, "F_SIFRA_ROBE", args[0])) return 1;
    if (cmd == "set-password")
        if (!locate(dm.f_operateri, "F_SIFRA_OPERATERA", args[0])) return 1;
    w.BitBtn1Click();
    if (!w.Connected) return 1;
    if (cmd == "write-current") w.Upisisamotrenutnurobu1Click();
    else if (cmd == "write-changed") w.Upisisamopromjenjenerobe1Click();
    else if (cmd == "write-all") w.Upisisve1Click();
    else if (cmd == "delete-range") {
        dialogs.answers = {args[0], args[1]};
        w.Obrisiviserobaukasi1Click();
    } else if (cmd == "read-current") w.MenuItem1Click();
    else if (cmd == "read-range") {
        w.AskRange = [&](Topseg& d) {
            d.RadioButton2->setChecked(args[0] == "all");
            d.RadioButton1->setChecked(args[0] != "all");
            if (args[0] != "all") {
                d.Edit1->setText(QString::fromStdString(args[0]));
                d.Edit2->setText(QString::fromStdString(args[1]));
            }
            return true;
        };
        w.MenuItem2Click();
    } else if (cmd == "read-operators") w.BitBtn26Click();
    else if (cmd == "write-operators") w.BitBtn25Click();
    else if (cmd == "set-password") {
        dialogs.answers = {args[1], args[2]};
        w.MarkonPostavilozinkuoperatera1Click();
    } else if (cmd == "read-groups") w.BitBtn17Click();
    else if (cmd == "write-groups") w.BitBtn18Click();
    else if (cmd == "read-tax") w.BitBtn13Click();
    else if (cmd == "write-tax") w.BitBtn14Click();
    else if (cmd == "read-header") w.BitBtn2Click();
    else if (cmd == "write-header") w.BitBtn8Click();
    else if (cmd == "read-ads" || cmd == "write-ads") {
        if (cmd == "write-ads") {
            w.Edit5->setText(QString::fromLatin1(args[0].c_str()));
            w.Edit6->setText(QString::fromLatin1(args[1].c_str()));
            w.BitBtn28Click();
        } else {
            w.BitBtn27Click();
            QByteArray r1 = w.Edit5->text().toLatin1(), r2 = w.Edit6->text().toLatin1();
            printLine(std::cout, "RED1=" + std::string(r1.constData(), static_cast<size_t>(r1.size())));
            printLine(std::cout, "RED2=" + std::string(r2.constData(), static_cast<size_t>(r2.size())));
        }
    }
    if (w.Connected) w.BitBtn1Click();
    return 0;
}
