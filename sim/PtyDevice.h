// Serves a simulated device on the master side of a pty: what the program writes to the pty's
// path reaches the device, the device's answers come back paced at the line speed, with the
// transport faults applied (silence, noise, split, byte by byte).
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimFaults.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

class PtyDevice {
public:
    // How a device takes bytes: the whole requests found in them, then one answer each.
    struct Device {
        std::function<std::vector<Bytes>(const uint8_t*, size_t)> receive;
        std::function<Bytes(const Bytes& request, Fault)> answer;
    };

    // `baud` paces the answers (bytes x 10 / baud seconds); 0 answers at once.
    PtyDevice(Device device, unsigned baud);
    ~PtyDevice();  // stops the serving thread
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& Path() const { return path_; }

    // The next answer shows `f` (queued after any already asked for).
    void InjectFault(Fault f);
    // Every answer shows `f` from now on (Fault::None ends it).
    void SetStandingFault(Fault f);
    int RequestsSeen() const { return requests_; }

private:
    void Serve();
    void Send(const Bytes& answer, Fault f);
    Fault NextFault();

    Device device_;
    unsigned baud_;
    int master_ = -1;
    int stop_ = -1;
    std::string path_;
    std::mutex mutex_;
    std::deque<Fault> faults_;
    Fault standing_ = Fault::None;
    std::atomic<int> requests_{0};
    std::thread thread_;
};

}  // namespace sim
