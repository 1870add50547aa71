// tarvela-cli: the program's commands without a window.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "DM_db_source.h"
#include "ProgramDir.h"

namespace {

const char* const Usage =
    "usage: tarvela-cli [--dir DIR] COMMAND [ARGS]\n"
    "  --dir DIR     folder of tarvela.gdb and tarvela.ini (default: the program's folder)\n"
    "commands:\n"
    "  dump TABLE    print every row of a local table, ordered by its key\n";

int usageError(const std::string& what) {
    std::cerr << what << "\n" << Usage;
    return 1;
}

db::Table* tableNamed(Tdm_db& dm, const std::string& name) {
    for (db::Table* t : {&dm.froba, &dm.f_por_stope, &dm.f_objekat, &dm.f_operateri,
                         &dm.f_grupe_roba, &dm.Stope, &dm.porstope})
        if (db::equalsIgnoreCase(t->def().name, name)) return t;
    return nullptr;
}

// Header line of the column names, then one line per row: fields separated by ";", null as
// empty, numbers in their shortest exact form, text bytes exactly as stored.
int dump(Tdm_db& dm, const std::string& name) {
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

}  // namespace

int main(int argc, char** argv) {
    std::string dir = programDirectory();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0) {
            if (++i >= argc) return usageError("--dir needs a folder");
            dir = asDirectory(argv[i]);
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << Usage;
            return 0;
        } else {
            args.emplace_back(argv[i]);
        }
    }
    if (args.empty()) return usageError("no command given");
    const std::string& cmd = args[0];
    if (cmd != "dump") return usageError("unknown command: " + cmd);
    if (args.size() != 2) return usageError("dump needs exactly one TABLE");

    Tdm_db dm;
    dm.DatabaseName = dir + Tdm_db::FileName;
    try {
        dm.Open();
    } catch (const std::exception& e) {
        std::cerr << "Greska otvaranja baze podataka!\n" << e.what() << "\n";
        return 1;
    }
    try {
        return dump(dm, args[1]);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
