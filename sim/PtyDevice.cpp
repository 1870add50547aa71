#include "PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <stdexcept>

namespace sim {

namespace {

void pause(std::chrono::microseconds d) {
    if (d.count() > 0) std::this_thread::sleep_for(d);
}

}  // namespace

PtyDevice::PtyDevice(Device device, unsigned baud) : device_(std::move(device)), baud_(baud) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot make a pty");
    path_ = ptsname(master_);
    stop_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
}

PtyDevice::~PtyDevice() {
    uint64_t one = 1;
    [[maybe_unused]] auto n = write(stop_, &one, sizeof one);
    thread_.join();
    close(stop_);
    close(master_);
}

void PtyDevice::InjectFault(Fault f) {
    std::lock_guard<std::mutex> l(mutex_);
    faults_.push_back(f);
}

void PtyDevice::SetStandingFault(Fault f) {
    std::lock_guard<std::mutex> l(mutex_);
    standing_ = f;
}

Fault PtyDevice::NextFault() {
    std::lock_guard<std::mutex> l(mutex_);
    if (faults_.empty()) return standing_;
    Fault f = faults_.front();
    faults_.pop_front();
    return f;
}

void PtyDevice::Serve() {
    // While nobody has the port open the master reports a hang-up at once, so the next opening
    // is waited for by looking again soon after an exchange and less often the longer the line
    // stays closed.
    long idleNs = 100'000;
    for (;;) {
        pollfd fds[2] = {{stop_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[0].revents) return;
        if (fds[1].revents & POLLHUP) {
            pollfd s{stop_, POLLIN, 0};
            timespec wait{0, idleNs};
            if (ppoll(&s, 1, &wait, nullptr) > 0) return;
            idleNs = std::min(idleNs * 2, 10'000'000L);
            continue;
        }
        idleNs = 100'000;
        uint8_t buf[1024];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) continue;
        for (const Bytes& request : device_.receive(buf, static_cast<size_t>(n))) {
            ++requests_;
            // The request, too, takes its time on a real line before the device has it.
            if (baud_) pause(std::chrono::microseconds(request.size() * 10'000'000ull / baud_));
            Fault f = NextFault();
            Send(device_.answer(request, f), f);
        }
    }
}

// Writes the answer as the line would carry it: after the time its bytes need at the baud
// rate, shaped by the transport faults.
void PtyDevice::Send(const Bytes& answer, Fault f) {
    if (answer.empty()) return;
    Bytes out;
    if (f == Fault::Noise) out = {0x00, 0x55, 0x0D, 0x13};
    out.insert(out.end(), answer.begin(), answer.end());
    auto wire = [this](size_t bytes) {
        return std::chrono::microseconds(baud_ ? bytes * 10'000'000ull / baud_ : 0);
    };
    auto put = [this](const uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t w = write(master_, p, n);
            if (w <= 0) return;
            p += w;
            n -= static_cast<size_t>(w);
        }
    };
    if (f == Fault::SynRun) {
        for (int i = 0; i < 12; ++i) {  // busy for a while, as a device says with SYN bytes
            pause(std::chrono::milliseconds(10));
            uint8_t syn = 0x16;
            put(&syn, 1);
        }
    }
    if (f == Fault::ByteByByte) {
        for (uint8_t b : out) {
            pause(std::max(wire(1), std::chrono::microseconds(2000)));
            put(&b, 1);
        }
    } else if (f == Fault::Split) {
        size_t first = out.size() / 2;
        pause(wire(first));
        put(out.data(), first);
        pause(std::chrono::milliseconds(40) + wire(out.size() - first));
        put(out.data() + first, out.size() - first);
    } else {
        pause(wire(out.size()));
        put(out.data(), out.size());
    }
}

}  // namespace sim
