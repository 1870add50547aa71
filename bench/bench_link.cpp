// Milliseconds per device exchange over a pty, against a peer that answers every request at
// once, paced at the line speed (bytes x 10 / baud), with fast and with strict timing.
// The figure that matters: what an exchange costs beyond the time its bytes need on the wire.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "U_Podesavanje.h"

namespace {

constexpr int Baud = 57600;
using Clock = std::chrono::steady_clock;

const std::vector<uint8_t> Request = {0xAA, 0x01, 0x11, 0, 0, 0, 1, 0x73, 1, 5, 0, 0, 0x0D};

std::vector<uint8_t> answerFrame() {  // an article-sized Orbella answer: 60 data bytes
    std::vector<uint8_t> f(60 + 12, 0x41);
    const uint8_t head[] = {0xAA, 0x01, 0x11, 0, 0, 0, 1, 0x73, 60};
    std::copy(std::begin(head), std::end(head), f.begin());
    f.back() = 0x0D;
    return f;
}

double wireMs(size_t bytes) { return bytes * 10.0 * 1000.0 / Baud; }

// Answers each whole request with the frame, after the time both need on the wire.
void peer(int master, std::atomic<bool>& stop) {
    const auto answer = answerFrame();
    const auto pace = std::chrono::microseconds(
        static_cast<int64_t>(wireMs(Request.size() + answer.size()) * 1000));
    size_t seen = 0;
    while (!stop) {
        pollfd f{master, POLLIN, 0};
        if (poll(&f, 1, 20) <= 0 || !(f.revents & POLLIN)) continue;
        uint8_t buf[256];
        ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) continue;
        seen += static_cast<size_t>(n);
        while (seen >= Request.size()) {
            seen -= Request.size();
            std::this_thread::sleep_for(pace);
            [[maybe_unused]] auto w = write(master, answer.data(), answer.size());
        }
    }
}

double run(TF_Podesavanje& link, int exchanges, bool strict) {
    link.StrictTiming = strict;
    TF_Podesavanje::Protocol p{[] { return true; }, [](TF_Podesavanje::Buffer) {}};
    std::vector<double> ms;
    for (int i = 0; i < exchanges; ++i) {
        auto t0 = Clock::now();
        link.Send_Fn2(Request.data(), static_cast<int32_t>(Request.size()), true, p);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (StatusText != "Analiziram prijem od kase") {
            std::fprintf(stderr, "exchange failed: %s\n", StatusText.c_str());
            std::exit(1);
        }
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main() {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) || unlockpt(master)) return 1;
    TF_Podesavanje link;
    link.XComm1.setDeviceName(ptsname(master));
    link.XComm1.setBaudRate(br57600);
    link.ReadTimeout = 300;
    std::atomic<bool> stop{false};
    std::thread t(peer, master, std::ref(stop));

    double wire = wireMs(Request.size() + answerFrame().size());
    double fast = run(link, 200, false);
    double strict = run(link, 5, true);
    std::printf("wire time of request + answer at %d baud: %8.3f ms\n", Baud, wire);
    std::printf("fast exchange   (median of 200):          %8.3f ms  (+%.3f ms over the wire)\n",
                fast, fast - wire);
    std::printf("strict exchange (median of 5):            %8.3f ms  (+%.3f ms over the wire)\n",
                strict, strict - wire);
    stop = true;
    t.join();
    close(master);
    return 0;
}
