// Figures for the local database with a full article table (12000 articles):
// opening the database and loading froba in code order, max on F_ROBA, and clearing every
// STAT with one statement. Prints the median, best and worst of several runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DM_db_source.h"

namespace {

using Clock = std::chrono::steady_clock;

void report(const char* what, int runs, const std::function<void()>& setup,
            const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        setup();
        auto t0 = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-48s median %8.3f ms   best %8.3f ms   worst %8.3f ms   (%d runs)\n", what,
                ms[ms.size() / 2], ms.front(), ms.back(), runs);
}

}  // namespace

int main() {
    auto dir = std::filesystem::temp_directory_path() / "tarvela-bench-db";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / Tdm_db::FileName).string();
    constexpr int Articles = 12000;
    {
        Tdm_db dm;
        dm.DatabaseName = path;
        dm.Open();
        for (int code = Articles; code >= 1; --code)  // stored out of order on purpose
            dm.SQL.execute(
                "INSERT INTO F_ROBA (F_ID_KASE, F_SIFRA_ROBE, F_BAR_CODE, F_NAZIV_ROBE, "
                "F_SIFRA_GRUPA, F_SIFRA_POR_STOPE, F_CIJENA_ROBE, F_KOLICINA, STAT) "
                "VALUES (1, ?, ?, ?, ?, ?, ?, 0, 'PRO')",
                {double(code), std::to_string(3870000000000 + code),
                 "ARTIKAL BROJ " + std::to_string(code), double(code % 10), double(code % 4),
                 code * 0.25});
        dm.SQL.commit();
    }

    std::unique_ptr<Tdm_db> dm;
    report("open database + load froba in code order", 15, [&] { dm.reset(); }, [&] {
        dm = std::make_unique<Tdm_db>();
        dm->DatabaseName = path;
        dm->Open();
        dm->froba.open();
        dm->froba.setIndexName("frobasifra");
    });
    if (dm->froba.recordCount() != Articles) return 1;

    int32_t mx = 0;
    report("max(F_roba, f_sifra_robe)", 200, [] {}, [&] { mx = dm->max("F_roba", "f_sifra_robe", ""); });
    if (mx != Articles) return 1;

    report("clear every STAT with one statement", 7,
           [&] { dm->sqlexec("Update f_roba set stat='PRO'"); },
           [&] { dm->sqlexec("Update f_roba set stat=null where stat is not null"); });
    dm.reset();
    std::filesystem::remove_all(dir);
    return 0;
}
