#include "PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot make a pty");
    slave_ = ptsname(master_);
}

PtyPair::~PtyPair() { closeMaster(); }

void PtyPair::closeMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

ScriptedPeer::ScriptedPeer(PtyPair& pty, std::vector<PeerStep> steps, size_t requestBytes)
    : pty_(pty), steps_(std::move(steps)), requestBytes_(requestBytes) {
    thread_ = std::thread([this] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (request_.size() < requestBytes_ && std::chrono::steady_clock::now() < deadline) {
            pollfd f{pty_.master(), POLLIN, 0};
            if (poll(&f, 1, 50) <= 0 || !(f.revents & POLLIN)) continue;
            char buf[4096];
            ssize_t n = read(pty_.master(), buf, sizeof buf);
            if (n > 0) request_.append(buf, static_cast<size_t>(n));
        }
        for (const auto& s : steps_) {
            if (s.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(s.delayMs));
            if (s.hangUp) {
                pty_.closeMaster();
                return;
            }
            size_t off = 0;
            while (off < s.bytes.size()) {
                ssize_t n = write(pty_.master(), s.bytes.data() + off, s.bytes.size() - off);
                if (n <= 0) return;
                off += static_cast<size_t>(n);
            }
        }
    });
}

ScriptedPeer::~ScriptedPeer() { join(); }

void ScriptedPeer::join() {
    if (thread_.joinable()) thread_.join();
}

std::string ScriptedPeer::request() const { return request_; }

std::string bytesOf(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s += static_cast<char>(b);
    return s;
}
