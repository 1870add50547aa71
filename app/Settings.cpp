#include "Settings.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <vector>

namespace {

std::string valueOf(const std::vector<std::string>& lines, const std::string& key) {
    for (const auto& line : lines) {
        auto eq = line.find('=');
        if (eq == std::string::npos || eq != key.size()) continue;
        bool same = true;
        for (size_t i = 0; i < eq && same; ++i)
            same = std::toupper(static_cast<unsigned char>(line[i])) == key[i];
        if (same) return line.substr(eq + 1);
    }
    return {};
}

}  // namespace

bool parseInt(const std::string& text, int& value) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return false;
    const char* b = text.data() + i;
    const char* e = text.data() + text.size();
    if (*b == '+') ++b;
    auto r = std::from_chars(b, e, value);
    return r.ec == std::errc() && r.ptr == e && b != e;
}

void applyIni(const std::string& content, Settings& s) {
    std::vector<std::string> lines;
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    int* indexes[] = {&s.ComPortIndex, &s.SpeedIndex, &s.TipUredjajaIndex, &s.JezikIndex};
    const char* keys[] = {"COM PORT INDEX", "COM PORT SPEED INDEX", "TIP UREDJAJA INDEX", "JEZIK INDEX"};
    for (int k = 0; k < 4; ++k) {
        int v;
        if (!parseInt(valueOf(lines, keys[k]), v)) return;
        *indexes[k] = v;
    }
    s.IBFK = valueOf(lines, "IBFK");
    s.IBSA = valueOf(lines, "IBSA");
}

std::string formatIni(const Settings& s) {
    return "COM PORT INDEX=" + std::to_string(s.ComPortIndex) + "\r\n" +
           "COM PORT SPEED INDEX=" + std::to_string(s.SpeedIndex) + "\r\n" +
           "TIP UREDJAJA INDEX=" + std::to_string(s.TipUredjajaIndex) + "\r\n" +
           "IBFK=" + s.IBFK + "\r\n" + "JEZIK INDEX=" + std::to_string(s.JezikIndex) + "\r\n" +
           "IBSA=" + s.IBSA + "\r\n";
}
