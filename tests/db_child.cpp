// A second program on the same database: opens DIR/tarvela.gdb, posts one new article with
// the code and name given, says "posted" and then holds the database open until killed.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "DM_db_source.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    Tdm_db dm;
    dm.DatabaseName = std::string(argv[1]) + "/" + Tdm_db::FileName;
    try {
        dm.Open();
        dm.froba.open();
        dm.froba.append();
        dm.froba.setField("F_ID_KASE", 1);
        dm.froba.setField("F_SIFRA_ROBE", std::stod(argv[2]));
        dm.froba.setField("F_NAZIV_ROBE", argv[3]);
        dm.froba.setField("STAT", "NOV");
        dm.froba.post();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("posted\n");
    std::fflush(stdout);
    for (;;) pause();
}
