#include "MarkonFrame.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace markon {

const char* const OznakeStopa[4] = {"A", "E", "J", "K"};

int32_t NextSequence(int32_t brojPaketa) {
    int32_t n = brojPaketa + 1;
    return (n >= 255 || n < 32) ? 32 : n;
}

std::array<uint8_t, 4> ChecksumChars(uint32_t sum) {
    sum &= 0xFFFF;
    return {static_cast<uint8_t>(0x30 + (sum >> 12 & 0xF)), static_cast<uint8_t>(0x30 + (sum >> 8 & 0xF)),
            static_cast<uint8_t>(0x30 + (sum >> 4 & 0xF)), static_cast<uint8_t>(0x30 + (sum & 0xF))};
}

Bytes BuildFrame(uint8_t sequence, uint8_t command, const std::string& data) {
    Bytes f(4 + data.size() + 6);
    f[0] = 0x01;
    f[1] = static_cast<uint8_t>(0x20 + data.size() + 4);
    f[2] = sequence;
    f[3] = command;
    std::memcpy(f.data() + 4, data.data(), data.size());
    const size_t post = 4 + data.size();
    f[post] = 0x05;
    uint32_t sum = 0;
    for (size_t i = 1; i <= post; ++i) sum += f[i];
    auto c = ChecksumChars(sum);
    std::copy(c.begin(), c.end(), f.begin() + static_cast<long>(post) + 1);
    f[post + 5] = 0x03;
    return f;
}

bool ProvjeriOkvir(uint8_t* b, size_t size, uint8_t sequence) {
    enum { Nothing, Refused, InFrame } state = Nothing;
    size_t start = 0, end = 0;
    bool haveEnd = false;
    for (size_t i = 0; i < size; ++i) {
        if (b[i] == 0x15 && state != InFrame) {
            state = Refused;
        } else if (b[i] == 0x01) {
            start = i;
            state = InFrame;
        } else if (b[i] == 0x03 && state == InFrame) {
            end = i;
            haveEnd = true;
            break;
        }
    }
    if (state == Refused || !haveEnd || end < start + 12) return false;
    if (b[start + 1] != static_cast<uint8_t>(end - start - 5 + 0x20)) return false;
    if (b[end - 5] != 0x05 || b[end - 12] != 0x04) return false;
    if (b[start + 2] != sequence) return false;
    uint32_t sum = 0;
    for (size_t i = start + 1; i <= end - 5; ++i) sum += b[i];
    auto c = ChecksumChars(sum);
    if (std::memcmp(c.data(), b + end - 4, 4) != 0) return false;
    std::memmove(b, b + start, end - start + 1);
    return true;
}

std::string Hex(const uint8_t* bytes, size_t n) {
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[bytes[i] >> 4];
        s += d[bytes[i] & 0xF];
    }
    return s;
}

namespace {
const uint8_t Pc[10] = {0xC6, 0xC8, 0xD0, 0x8A, 0x8E, 0xE6, 0xE8, 0xF0, 0x9A, 0x9E};
const uint8_t Device[10] = {0x82, 0x84, 0x85, 0x86, 0x87, 0x92, 0x94, 0x95, 0x96, 0x97};
const uint8_t RateLetters[4] = {0xC0, 0xC5, 0xA3, 0xCA};
}  // namespace

std::string KonvertujTekst(const std::string& text, char direction, uint8_t kodnaStrana) {
    if (kodnaStrana != 238) return text;
    const uint8_t* from = direction == 'K' ? Pc : Device;
    const uint8_t* to = direction == 'K' ? Device : Pc;
    std::string out = text;
    for (char& ch : out)
        for (int i = 0; i < 10; ++i)
            if (static_cast<uint8_t>(ch) == from[i]) {
                ch = static_cast<char>(to[i]);
                break;
            }
    return out;
}

uint8_t KonvertujStopu(const std::string& letter, char direction) {
    if (letter.empty()) return 0;
    auto c = static_cast<uint8_t>(letter[0]);
    for (int i = 0; i < 4; ++i) {
        if (direction == 'K' && c == static_cast<uint8_t>(OznakeStopa[i][0])) return RateLetters[i];
        if (direction != 'K' && c == RateLetters[i]) return static_cast<uint8_t>(OznakeStopa[i][0]);
    }
    return c;
}

int IndeksStope(const std::string& letter) {
    for (int i = 0; i < 4; ++i)
        if (letter == OznakeStopa[i]) return i + 1;
    return 5;
}

std::string FormatFixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string FormatPattern(double v, int intDigits, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%0*.*f", v < 0 ? "-" : "", intDigits + 1 + decimals, decimals,
                  std::fabs(v));
    return buf;
}

std::string FormatGeneral(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::string FormatThousands(double v) {
    std::string fixed = FormatFixed(std::fabs(v), 2);
    std::string whole = fixed.substr(0, fixed.size() - 3), out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    return (v < 0 ? "-" : "") + out + fixed.substr(fixed.size() - 3);
}

bool TryParseNumber(const std::string& text, double& out) {
    std::string t = text;
    size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
    if (b == std::string::npos) return false;
    t = t.substr(b, e - b + 1);
    for (char& c : t)
        if (c == ',') c = '.';
    const char* p = t.data();
    if (*p == '+') ++p;
    auto r = std::from_chars(p, t.data() + t.size(), out);
    return r.ec == std::errc() && r.ptr == t.data() + t.size() && p != t.data() + t.size();
}

double ParseNumber(const std::string& text) {
    double v;
    if (!TryParseNumber(text, v)) throw std::invalid_argument("'" + text + "' is not a valid floating point value");
    return v;
}

int64_t ParseInteger(const std::string& text) {
    int64_t v = 0;
    size_t b = text.find_first_not_of(' ');
    const char* p = text.data() + (b == std::string::npos ? text.size() : b);
    if (p != text.data() + text.size() && *p == '+') ++p;
    auto r = std::from_chars(p, text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || p == text.data() + text.size())
        throw std::invalid_argument("'" + text + "' is not a valid integer value");
    return v;
}

}  // namespace markon
