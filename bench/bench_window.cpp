// Start-up with a full article table (12000 articles): the time from creating the data module
// and the main window to the window shown with its grid filled, and the peak memory.
// Runs on Qt's offscreen platform.
#include <QApplication>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "DM_db_source.h"
#include "DatasetModel.h"
#include "Dialogs.h"
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"

namespace {

long peakKiB() {
    std::ifstream f("/proc/self/status");
    for (std::string line; std::getline(f, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

void fill(const std::string& dir) {
    Tdm_db dm;
    dm.DatabaseName = dir + Tdm_db::FileName;
    dm.Open();
    for (int code = 1; code <= 12000; ++code)
        dm.SQL.execute(
            "INSERT INTO F_ROBA (F_ID_KASE, F_SIFRA_ROBE, F_BAR_CODE, F_NAZIV_ROBE, F_SIFRA_GRUPA, "
            "F_SIFRA_POR_STOPE, F_CIJENA_ROBE, F_KOLICINA, STAT) VALUES (1, ?, ?, ?, 1, ?, ?, 0, 'NOV')",
            {double(code), std::to_string(3870000000000 + code),
             "ARTIKAL \xC8" "OKOLADA " + std::to_string(code), double(code % 4), code * 0.5});
    dm.SQL.commit();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto dir = (std::filesystem::temp_directory_path() / "tarvela-bench-window").string() + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    fill(dir);
    long before = peakKiB();

    auto t0 = std::chrono::steady_clock::now();
    QApplication app(argc, argv);
    Tdm_db dm;
    WidgetDialogs dialogs;
    TF_Podesavanje link;
    TF_Knjizenje w(dm, link, dialogs, dir);
    w.show();
    QApplication::processEvents();
    w.DBGrid4->viewport()->repaint();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();

    std::printf("rows in the grid: %d\n", w.DBGrid4->model()->rowCount());
    std::printf("start to shown window with filled grid: %.1f ms\n", ms);
    std::printf("peak memory: %.1f MB (%.1f MB before the window)\n", peakKiB() / 1024.0, before / 1024.0);
    w.close();
    std::filesystem::remove_all(dir);
    return w.DBGrid4->model()->rowCount() == 12000 ? 0 : 1;
}
