// A simulated Orbella register, written from the protocol as a device would implement it:
// it finds request frames in the byte stream, ignores the ones that do not check, keeps its
// master data, and answers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "SimFaults.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

class OrbellaDevice {
public:
    static constexpr int Articles = 12000, Groups = 8, Operators = 25, Lines = 8;

    // `memoryFile`: where the memory is kept across runs ("" keeps it in memory only).
    explicit OrbellaDevice(std::string ibo = "0123456789012", std::string memoryFile = "");

    // Feeds received bytes; returns the whole request frames that checked, in order.
    std::vector<Bytes> Receive(const uint8_t* bytes, size_t n);
    // The answer to one request (empty: no answer), shaped by the device-side faults.
    Bytes Answer(const Bytes& request, Fault fault);

    // ---- memory, for tests and inspection ----
    struct Article {
        uint8_t name[37];
        uint8_t barcode[7];
        uint8_t tax;
        uint8_t group;
        int32_t price;  // hundredths
    };
    struct Group {
        uint8_t name[19];
        uint8_t tax;
        int32_t amount;
    };
    struct Operator {
        uint8_t name[18];
        int32_t password;
    };
    struct Memory {
        Article articles[Articles];
        Group groups[Groups];
        Operator operators[Operators];
        uint16_t rates[4];  // hundredths of a percent; 0xFFFF: not set
        uint8_t lines[Lines][18];
    };
    Memory& memory() { return mem_; }
    void Save() const;

private:
    Bytes frame(const Bytes& request, uint8_t command, const Bytes& data, Fault fault) const;
    bool storeWrite(uint8_t command, const uint8_t* d, size_t n);
    void reset();
    void load();

    std::string ibo_;
    std::string file_;
    Memory mem_{};
    Bytes pending_;
};

}  // namespace sim
