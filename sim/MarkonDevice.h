// A simulated Markon register, written from the protocol as a device would implement it:
// it finds request frames (01 .. 03) in the byte stream, answers a bad checksum with NAK,
// keeps its master data and answers with data, a general answer, or error bits in the
// status bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "SimFaults.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

class MarkonDevice {
public:
    static constexpr int Articles = 7100, Operators = 20, Departments = 50;

    MarkonDevice(std::string ibo = "MK0000000001", std::string memoryFile = "");

    std::vector<Bytes> Receive(const uint8_t* bytes, size_t n);
    Bytes Answer(const Bytes& request, Fault fault);

    struct Article {
        std::string name;  // device bytes; empty: no article
        std::string barcode;
        char tax = 'A';    // the Cyrillic letter byte the device keeps
        int department = 1;
        std::string price = "0.00";
    };
    struct Operator {
        std::string name;
        int password = 0;
    };
    struct Department {
        std::string name;
        uint8_t tax = 0xC0;
    };
    struct Memory {
        std::map<int, Article> articles;  // 1..7100
        Operator operators[Operators + 1];
        Department departments[Departments + 1];
        std::string rates[4] = {"0", "17", "-1", "-1"};
        std::map<int, std::string> lines;  // 40..47, 60..64, 600..609
    };
    Memory& memory() { return mem_; }
    void Save() const;

private:
    Bytes frame(const Bytes& request, uint8_t command, const std::string& data, bool refused, Fault fault) const;
    Bytes handle(const Bytes& request, Fault fault);
    void load();

    std::string ibo_;
    std::string file_;
    Memory mem_;
    Bytes pending_;
    std::vector<Bytes> naks_;
};

}  // namespace sim
