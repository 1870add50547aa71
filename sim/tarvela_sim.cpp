// tarvela-sim: a simulated register on a pty. Prints the pty's path; give that path (or
// point a COM name at it with TARVELA_COMn) to the program as its port.
//
// While it runs, a line on standard input names the fault of the next answer
// (none silence noise split bytewise checksum ack refuse); "always FAULT" makes it standing.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "MarkonDevice.h"
#include "OrbellaDevice.h"
#include "PtyDevice.h"

namespace {

const char* const Usage =
    "usage: tarvela-sim [--device orbella|markon] [--baud N] [--memory FILE] [--ibo TEXT] [--fault NAME]\n"
    "  --baud N       pace answers at N baud (default 57600; 0: at once)\n"
    "  --memory FILE  keep the device's memory in FILE across runs\n"
    "  --ibo TEXT     the identification number (13 characters on the Orbella)\n"
    "  --fault NAME   a fault on every answer\n";

}  // namespace

int main(int argc, char** argv) {
    std::string device = "orbella", memory, ibo, fault = "none";
    unsigned baud = 57600;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << a << " needs a value\n" << Usage;
                std::exit(1);
            }
            return argv[++i];
        };
        if (a == "--device") device = value();
        else if (a == "--baud") baud = static_cast<unsigned>(std::stoul(value()));
        else if (a == "--memory") memory = value();
        else if (a == "--ibo") ibo = value();
        else if (a == "--fault") fault = value();
        else {
            std::cerr << (a == "--help" ? "" : "unknown option " + a + "\n") << Usage;
            return a == "--help" ? 0 : 1;
        }
    }
    if (device != "orbella" && device != "markon") {
        std::cerr << "unknown device " << device << "\n";
        return 1;
    }
    auto standing = sim::faultNamed(fault);
    if (!standing) {
        std::cerr << "unknown fault " << fault << "; faults: " << sim::faultNames() << "\n";
        return 1;
    }

    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    sim::PtyDevice::Device peer;
    if (device == "orbella") {
        auto d = std::make_shared<sim::OrbellaDevice>(ibo.empty() ? "0123456789012" : ibo, memory);
        peer = {[d](const uint8_t* b, size_t n) { return d->Receive(b, n); },
                [d](const sim::Bytes& r, sim::Fault f) { return d->Answer(r, f); }};
    } else {
        auto d = std::make_shared<sim::MarkonDevice>(ibo.empty() ? "MK0000000001" : ibo, memory);
        peer = {[d](const uint8_t* b, size_t n) { return d->Receive(b, n); },
                [d](const sim::Bytes& r, sim::Fault f) { return d->Answer(r, f); }};
    }
    sim::PtyDevice pty(peer, baud);
    pty.SetStandingFault(*standing);
    std::printf("%s\n", pty.Path().c_str());
    std::fflush(stdout);

    std::thread([&pty] {
        for (std::string line; std::getline(std::cin, line);) {
            bool always = line.rfind("always ", 0) == 0;
            auto f = sim::faultNamed(always ? line.substr(7) : line);
            if (!f) {
                std::cerr << "faults: " << sim::faultNames() << "\n";
                continue;
            }
            if (always) pty.SetStandingFault(*f);
            else pty.InjectFault(*f);
        }
    }).detach();

    int sig = 0;
    sigwait(&stop, &sig);
    return 0;
}
