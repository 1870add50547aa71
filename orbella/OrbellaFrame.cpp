#include "OrbellaFrame.h"

#include <algorithm>
#include <stdexcept>

namespace orbella {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

int32_t le32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                uint32_t{p[3]} << 24);
}

void putLe16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void putLe32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes BuildFrame(const std::array<uint8_t, 2>& adresa, const std::array<uint8_t, 3>& ibfk,
                 uint8_t sequence, uint8_t command, const Bytes& data) {
    if (data.size() > MaxData) throw std::length_error("Orbella frame data over 255 bytes");
    Bytes f(9 + data.size() + 3);
    const uint8_t head[9] = {0xAA, adresa[0], adresa[1], ibfk[0], ibfk[1], ibfk[2], sequence, command,
                             static_cast<uint8_t>(data.size())};
    std::copy(head, head + 9, f.begin());
    std::copy(data.begin(), data.end(), f.begin() + 9);
    f.resize(9 + data.size());
    uint8_t sum = 0, x = 0;
    for (uint8_t b : f) {
        sum = static_cast<uint8_t>(sum + b);
        x ^= b;
    }
    f.push_back(sum);
    f.push_back(x);
    f.push_back(0x0D);
    return f;
}

int32_t NextSequence(int32_t brojPaketa) {
    int32_t n = brojPaketa + 1;
    return n == 255 ? 1 : n;
}

bool ProvjeriOdziv(const uint8_t* b, size_t size, const std::array<uint8_t, 2>& adresa) {
    if (size < 12) return false;
    const size_t len = size_t{b[8]} + 12;
    if (len > size) return false;
    if (b[1] != adresa[0] || b[2] != adresa[1] || b[len - 1] != 0x0D) return false;
    uint8_t sum = 0, x = 0;
    for (size_t i = 0; i <= len - 4; ++i) {
        sum = static_cast<uint8_t>(sum + b[i]);
        x ^= b[i];
    }
    return sum == b[len - 3] && x == b[len - 2];
}

std::string HexText(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 0x0F];
    }
    return s;
}

bool HexPair(const char* two, uint8_t& out) {
    int v = 0;
    for (int j = 0; j < 2; ++j) {
        char c = two[j];
        int d = c >= '0' && c <= '9' ? c - '0'
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                     : -1;
        if (d < 0) return false;
        v = v * 16 + d;
    }
    out = static_cast<uint8_t>(v);
    return true;
}

bool IbfkBytes(const std::string& ibfk, std::array<uint8_t, 3>& out) {
    if (ibfk.size() != 6) return false;
    for (int i = 0; i < 3; ++i)
        if (!HexPair(ibfk.data() + 2 * i, out[i])) return false;
    return true;
}

std::string UKasuTekst(const std::string& text) { return text; }

namespace {
// Table A: the device's Cyrillic letters 0x80..0x9F (upper case; lower case 0x20 higher) in
// Windows-1251.
const uint8_t CyrillicUpper[32] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xA3, 0xCA,
                                   0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5,
                                   0xD6, 0xD7, 0xD8, 0x8F, 0x80, 0xDB, 0x8E, 0xDD, 0x8C, 0x8A};
const uint8_t CyrillicLower[32] = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xBC, 0xEA,
                                   0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5,
                                   0xF6, 0xF7, 0xF8, 0x9F, 0x90, 0xFB, 0x9E, 0xFD, 0x9C, 0x9A};
// Table B: the device's Latin letters with diacritics in Windows-1250.
uint8_t latinOf(uint8_t c) {
    switch (c) {
        case 0x5B: return 0xD0;
        case 0x5C: return 0xC6;
        case 0x5D: return 0xC8;
        case 0x5E: return 0x8A;
        case 0x5F: return 0x8E;
        case 0x60: return 0xB9;
        case 0x7B: return 0xF0;
        case 0x7C: return 0xE6;
        case 0x7D: return 0xE8;
        case 0x7E: return 0x9A;
        case 0x7F: return 0x9E;
    }
    return c;
}
}  // namespace

std::string IzKaseTekst(const std::string& text, int codePageIndex) {
    std::string out = text;
    for (char& ch : out) {
        auto c = static_cast<uint8_t>(ch);
        if (codePageIndex == 0) {
            if (c >= 0x80 && c <= 0x9F) c = CyrillicUpper[c - 0x80];
            else if (c >= 0xA0 && c <= 0xBF) c = CyrillicLower[c - 0xA0];
        } else {
            c = latinOf(c);
        }
        ch = static_cast<char>(c);
    }
    return out;
}

bool ImaTeksta(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        auto c = static_cast<uint8_t>(text[i]);
        if (c != 0x00 && c != 0xFF && c != 0x20) return true;
    }
    return false;
}

}  // namespace orbella
