// A simulated register for people without the hardware: the simulator of the selected device
// type on a pty, the selected COM port pointed at it, its memory kept in the data folder so it
// remembers between runs.
#pragma once

#include <memory>
#include <string>

namespace sim {
class OrbellaDevice;
class MarkonDevice;
class PtyDevice;
}  // namespace sim

class SimulatedRegister {
public:
    explicit SimulatedRegister(std::string directory);
    ~SimulatedRegister();
    // Starts the simulator of device type `tipKase` (0 Orbella, 1 Markon) if it is not running
    // and points "COM<comIndex + 1>" at its pty.
    void PointAt(int tipKase, int comIndex);

private:
    std::string dir_;
    std::shared_ptr<sim::OrbellaDevice> orbella_;
    std::shared_ptr<sim::MarkonDevice> markon_;
    std::unique_ptr<sim::PtyDevice> orbellaPty_, markonPty_;
};
