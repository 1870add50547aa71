// The faults a simulated device can be told to show on its next answer (or on every one).
#pragma once

#include <optional>
#include <string>

namespace sim {

enum class Fault {
    None,
    Silence,      // no answer at all
    Noise,        // a few stray bytes before the answer
    Split,        // the answer in two pieces with a pause between
    ByteByByte,   // the answer one byte at a time
    BadChecksum,  // the answer's checksum is off by one
    GeneralAck,   // the general acknowledgement instead of the specific answer
    RefuseWrite,  // an article write is refused
    Nak,          // a NAK byte instead of the answer
    WrongSequence,  // the answer carries another sequence number
    FiveStatus,   // five status bytes instead of six
    SevenStatus,  // seven status bytes instead of six
    SynRun,       // a long run of SYN (busy) bytes before the answer
};

std::optional<Fault> faultNamed(const std::string& name);  // "silence", "noise", ...
const char* faultNames();  // for help texts

}  // namespace sim
