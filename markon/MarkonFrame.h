// The Markon frame as pure functions over bytes, the character conversions, and the number
// texts of the data field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace markon {

using Bytes = std::vector<uint8_t>;

// Sequence number after `brojPaketa`: 32, 33, ... 254, 32, ...
int32_t NextSequence(int32_t brojPaketa);

// 01, length byte, sequence, command, data, 05, four checksum characters, 03.
Bytes BuildFrame(uint8_t sequence, uint8_t command, const std::string& data);

// The four checksum characters of a sum: each nibble, most significant first, as 0x30 + nibble.
std::array<uint8_t, 4> ChecksumChars(uint32_t sum);

// The frame check over the receive buffer: finds the frame (a NAK before any 0x01 refuses),
// checks length, postamble, six status bytes, sequence and checksum, and moves an accepted frame
// to position 0. True when accepted.
bool ProvjeriOkvir(uint8_t* buffer, size_t size, uint8_t sequence);

// Bytes as upper-case hexadecimal characters.
std::string Hex(const uint8_t* bytes, size_t n);

// Towards the device with direction 'K', from it with any other; converts only while
// kodnaStrana is 238.
std::string KonvertujTekst(const std::string& text, char direction, uint8_t kodnaStrana);
uint8_t KonvertujStopu(const std::string& letter, char direction);
int IndeksStope(const std::string& letter);  // 1..4 for A, E, J, K; 5 otherwise
extern const char* const OznakeStopa[4];

// Numbers on the wire always use the point as decimal separator (a comma would collide with
// the field separator); reading takes a point or, leniently, a comma.
std::string FormatFixed(double v, int decimals);          // "#0.00", "#0.000"
std::string FormatPattern(double v, int intDigits, int decimals);  // "0000000000.00" and the like
std::string FormatGeneral(double v);                      // shortest general form, 15 places
std::string FormatThousands(double v);                    // "#,##0.00"
// Throw std::invalid_argument with the conversion error's text when the field is no number.
double ParseNumber(const std::string& text);
int64_t ParseInteger(const std::string& text);
bool TryParseNumber(const std::string& text, double& out);

}  // namespace markon
