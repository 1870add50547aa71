// Spreadsheet export of 12000 articles and import of a 12001-row workbook, through the main
// window's handlers (off-screen).
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "DM_db_source.h"
#include "Dialogs.h"
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"
#include "Workbook.h"

namespace {

class FileDialogs : public WidgetDialogs {
public:
    std::optional<std::string> SaveFileName(const std::string&) override { return file; }
    std::optional<std::string> OpenFileName(const std::string&) override { return file; }
    std::string file;
};

double timed(const std::function<void()>& f) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    (void)argc;
    const auto root = std::filesystem::temp_directory_path() / "tarvela-bench-workbook";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string dir = root.string() + "/";
    {
        Tdm_db dm;
        dm.DatabaseName = dir + Tdm_db::FileName;
        dm.Open();
        for (int code = 1; code <= 12000; ++code)
            dm.SQL.execute("INSERT INTO F_ROBA (F_ID_KASE, F_SIFRA_ROBE, F_BAR_CODE, F_NAZIV_ROBE, F_SIFRA_GRUPA, "
                           "F_SIFRA_POR_STOPE, F_CIJENA_ROBE, F_KOLICINA) VALUES (1, ?, ?, ?, 1, 1, ?, 3)",
                           {double(code), std::to_string(3870000000000 + code), "ARTIKAL " + std::to_string(code),
                            code * 0.5});
        dm.SQL.commit();
    }
    {  // a workbook of 12001 new articles
        workbook::Writer w(dir + "uvoz.xlsx");
        for (int r = 2; r <= 12002; ++r) {
            w.Number(r, 1, 20000 + r);
            w.Text(r, 2, "UVOZ " + std::to_string(r));
            w.Number(r, 3, r * 0.25);
            w.Number(r, 4, 2);
            w.Text(r, 5, std::to_string(3880000000000 + r), true);
            w.Number(r, 6, 1);
            w.Number(r, 7, 3);
        }
        w.Save();
    }
    Tdm_db dm;
    FileDialogs dialogs;
    TF_Podesavanje link;
    TF_Knjizenje window(dm, link, dialogs, dir);
    window.SaveSettingsOnClose = false;
    window.show();
    dialogs.file = dir + "izvoz.xlsx";
    std::printf("export of 12000 articles:           %8.0f ms\n", timed([&] { window.BitBtn6Click(); }));
    dialogs.file = dir + "uvoz.xlsx";
    std::printf("import of a 12001-row workbook:     %8.0f ms\n", timed([&] { window.BitBtn7Click(); }));
    std::printf("articles after the import:          %8d\n", dm.froba.recordCount());
    window.close();
    std::filesystem::remove_all(root);
    return 0;
}
