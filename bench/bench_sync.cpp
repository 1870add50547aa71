// Article synchronisation against the simulated registers, paced at 57600 baud and answering
// at once, through the main window's real handlers (off-screen): reading a range of articles and
// writing changed articles (each write followed by its pause and read-back). For each run:
// the measured time divided by the time the bytes need on the wire plus the specified pauses.
//
// usage: bench_sync [READS [WRITES [STRICT_READS]]]   (defaults 2000 500 20)
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "DM_db_source.h"
#include "Dialogs.h"
#include "Simulator.h"
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"
#include "pitanjeopsega.h"

namespace {

constexpr double Baud = 57600;

struct Figures {
    double measuredMs, wireMs, pauseMs;
};

// Bytes that crossed the line, from the traffic log: each line is "ms TX|RX count hex".
double wireMsOf(const std::string& log) {
    std::ifstream f(log);
    double bytes = 0;
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string ms, dir;
        double n = 0;
        in >> ms >> dir >> n;
        bytes += n;
    }
    return bytes * 10.0 * 1000.0 / Baud;
}

class Bench {
public:
    Bench(const std::string& dir, int model, bool strict) : dir_(dir), sim_(dir) {
        std::filesystem::remove(dir + "traffic.log");
        link_.TrafficLog = dir + "traffic.log";
        link_.StrictTiming = strict;
        w_ = std::make_unique<TF_Knjizenje>(dm_, link_, dialogs_, dir);
        w_->SaveSettingsOnClose = false;
        w_->Pause = [this](int ms) {
            pauses_ += ms;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
        w_->BeforeConnect = [this, model] { sim_.PointAt(model, 0); };
        w_->show();
        w_->TipKase->setItemIndex(model);
        w_->BitBtn1Click();
        if (!w_->Connected) {
            std::fprintf(stderr, "could not connect\n");
            std::exit(1);
        }
        std::filesystem::remove(dir + "traffic.log");  // the connect is not measured
    }
    ~Bench() { w_->close(); }

    Figures run(const std::function<void(TF_Knjizenje&)>& command) {
        pauses_ = 0;
        std::filesystem::remove(dir_ + "traffic.log");
        auto t0 = std::chrono::steady_clock::now();
        command(*w_);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        return {ms, wireMsOf(dir_ + "traffic.log"), pauses_};
    }

    Tdm_db& dm() { return dm_; }

private:
    std::string dir_;
    SimulatedRegister sim_;
    Tdm_db dm_;
    WidgetDialogs dialogs_;
    TF_Podesavanje link_;
    std::unique_ptr<TF_Knjizenje> w_;
    double pauses_ = 0;
};

void report(const char* what, const Figures& f) {
    std::printf("%-44s %9.0f ms   wire %9.0f ms + pauses %7.0f ms   ratio %5.2f\n", what, f.measuredMs,
                f.wireMs, f.pauseMs, f.measuredMs / (f.wireMs + f.pauseMs));
}

void readRange(TF_Knjizenje& w, int from, int to) {
    w.AskRange = [from, to](Topseg& d) {
        d.RadioButton1->setChecked(true);
        d.Edit1->setText(QString::number(from));
        d.Edit2->setText(QString::number(to));
        return true;
    };
    w.MenuItem2Click();
}

}  // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int writes = argc > 2 ? std::atoi(argv[2]) : 500;
    const int strictReads = argc > 3 ? std::atoi(argv[3]) : 20;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const auto root = std::filesystem::temp_directory_path() / "tarvela-bench-sync";

    for (int model : {0, 1}) {
        const char* name = model == 0 ? "Orbella" : "Markon";
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        const std::string dir = root.string() + "/";
        {
            Bench b(dir, model, false);
            // Articles 1..writes, marked changed, to be written (and so present for the reads).
            for (int code = 1; code <= writes; ++code) {
                b.dm().froba.append();
                b.dm().froba.setField("F_ID_KASE", 1);
                b.dm().froba.setField("F_SIFRA_ROBE", code);
                b.dm().froba.setField("F_NAZIV_ROBE", "ARTIKAL " + std::to_string(code));
                b.dm().froba.setField("F_CIJENA_ROBE", code * 0.5);
                b.dm().froba.setField("F_SIFRA_POR_STOPE", code % 4);
                b.dm().froba.setField("STAT", "NOV");
                b.dm().froba.post();
            }
            char what[96];
            std::snprintf(what, sizeof what, "%s: write %d changed articles", name, writes);
            report(what, b.run([](TF_Knjizenje& w) { w.Upisisamopromjenjenerobe1Click(); }));
            std::snprintf(what, sizeof what, "%s: read %d articles", name, reads);
            report(what, b.run([reads](TF_Knjizenje& w) { readRange(w, 1, reads); }));
        }
        {
            Bench b(dir, model, true);
            char what[96];
            std::snprintf(what, sizeof what, "%s: read %d articles, strict timing", name, strictReads);
            report(what, b.run([strictReads](TF_Knjizenje& w) { readRange(w, 1, strictReads); }));
        }
    }
    std::filesystem::remove_all(root);
    return 0;
}
