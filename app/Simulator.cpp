#include "Simulator.h"

#include <cstdlib>

#include "MarkonDevice.h"
#include "OrbellaDevice.h"
#include "PtyDevice.h"

namespace {
constexpr unsigned Baud = 57600;  // answers come at the pace of the real line
}

SimulatedRegister::SimulatedRegister(std::string directory) : dir_(std::move(directory)) {}
SimulatedRegister::~SimulatedRegister() = default;

void SimulatedRegister::PointAt(int tipKase, int comIndex) {
    const sim::PtyDevice* pty;
    if (tipKase == 1) {
        if (!markonPty_) {
            markon_ = std::make_shared<sim::MarkonDevice>("MK0000000001", dir_ + "simulator-markon.mem");
            auto d = markon_;
            markonPty_ = std::make_unique<sim::PtyDevice>(
                sim::PtyDevice::Device{[d](const uint8_t* b, size_t n) { return d->Receive(b, n); },
                                       [d](const sim::Bytes& r, sim::Fault f) { return d->Answer(r, f); }},
                Baud);
        }
        pty = markonPty_.get();
    } else {
        if (!orbellaPty_) {
            orbella_ = std::make_shared<sim::OrbellaDevice>("ORB0000000001", dir_ + "simulator-orbella.mem");
            auto d = orbella_;
            orbellaPty_ = std::make_unique<sim::PtyDevice>(
                sim::PtyDevice::Device{[d](const uint8_t* b, size_t n) { return d->Receive(b, n); },
                                       [d](const sim::Bytes& r, sim::Fault f) { return d->Answer(r, f); }},
                Baud);
        }
        pty = orbellaPty_.get();
    }
    setenv(("TARVELA_COM" + std::to_string(comIndex + 1)).c_str(), pty->Path().c_str(), 1);
}
