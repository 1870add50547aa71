#include "ProgramDir.h"

#include <filesystem>

std::string programDirectory() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    return asDirectory(exe.parent_path().string());
}

std::string asDirectory(std::string dir) {
    if (dir.empty()) return "./";
    if (dir.back() != '/') dir += '/';
    return dir;
}
