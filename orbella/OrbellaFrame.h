// The Orbella frame as pure functions over bytes: building a request, checking an answer,
// and the text forms the handlers give results in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orbella {

using Bytes = std::vector<uint8_t>;

// The largest data part a frame can carry: its length travels in one byte.
constexpr size_t MaxData = 255;

// AA, address, IBFK, sequence, command, n, data, additive and XOR checksums, CR.
// The data must not exceed MaxData bytes.
Bytes BuildFrame(const std::array<uint8_t, 2>& adresa, const std::array<uint8_t, 3>& ibfk,
                 uint8_t sequence, uint8_t command, const Bytes& data);

// The sequence number after `brojPaketa`: 1, 2, ... 254, 1, ...
int32_t NextSequence(int32_t brojPaketa);

// The answer check on a buffer holding an answer from position 0: the address, the CR at the
// length-given end, and both checksums. `size` bounds what is read.
bool ProvjeriOdziv(const uint8_t* buffer, size_t size, const std::array<uint8_t, 2>& adresa);

// Each byte as two upper-case hexadecimal characters, no separators.
std::string HexText(const uint8_t* bytes, size_t n);

// Two characters read as a two-place hexadecimal number; false when they are not one.
bool HexPair(const char* two, uint8_t& out);

// IBFK of six decimal figures as three packed-BCD bytes ("000020" gives 00 00 20): each pair
// of characters is read as a two-place hexadecimal number. False when one is not.
bool IbfkBytes(const std::string& ibfk, std::array<uint8_t, 3>& out);

uint16_t le16(const uint8_t* p);
int32_t le32(const uint8_t* p);
void putLe16(Bytes& b, uint16_t v);
void putLe32(Bytes& b, uint32_t v);

// ---- text fields and characters of the device ----------------------------------------------

// Towards the device: the PC's bytes go as they are.
std::string UKasuTekst(const std::string& text);
// From the device, by the code-page choice (0 "Latinica": the device's Cyrillic letters
// 0x80..0xBF become Windows-1251 ones; any other: its letters at [ \ ] ^ _ ` { | } ~ 0x7F
// become Windows-1250 ones).
std::string IzKaseTekst(const std::string& text, int codePageIndex);
// Whether a name field holds a name: a character other than 0x00, 0xFF and space anywhere
// but in the last place.
bool ImaTeksta(const std::string& text);

}  // namespace orbella
