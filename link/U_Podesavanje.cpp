#include "U_Podesavanje.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

std::string StatusText;
int32_t LastCommand = 0;
bool DeviceAnswered = false;

namespace {
constexpr const char* CommError = "Greska comm Komunikacije: ";
}

TF_Podesavanje::TF_Podesavanje() {
    // The settings the component is kept with in this program; connecting sets the rest.
    XComm1.setDeviceName("COM1");
    XComm1.setBaudRate(br300);
    XComm1.MonitorEvents = 0;
    XComm1.OnSend = [](TCustomComm&) {};
    if (const char* s = std::getenv("TARVELA_STRICT_TIMING"); s && std::strcmp(s, "1") == 0)
        StrictTiming = true;
    if (const char* s = std::getenv("TARVELA_TRAFFIC_LOG")) TrafficLog = s;
}

void TF_Podesavanje::SetEmptyArticle(int32_t code) {
    ArtSifra = code;
    ArtOdjeljenje = 1;
    ArtStopa = 0;
    ArtBarKod = "00000000000000";
    ArtCijena = 0;
    ArtNaziv.assign(36, '\xFF');
}

void TF_Podesavanje::logTraffic(const char* direction, const uint8_t* bytes, size_t n) const {
    if (TrafficLog.empty()) return;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(TrafficLog.c_str(), "a"), &std::fclose);
    if (!f) return;  // support logging must never disturb an exchange
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
    std::fprintf(f.get(), "%lld %s %zu", static_cast<long long>(ms), direction, n);
    for (size_t i = 0; i < n; ++i) std::fprintf(f.get(), "%s%02X", i ? "" : " ", bytes[i]);
    std::fputc('\n', f.get());
}

void TF_Podesavanje::collect(int reads,
                             const std::function<int32_t(const uint8_t*, int32_t)>& assemble) {
    InputCount = 0;
    InputBuffer.fill(0);
    for (int i = 0; i < reads; ++i) {
        uint8_t chunk[ChunkSize] = {};
        int32_t result = 22;
        uint32_t received;
        if (StrictTiming) {
            received = XComm1.ReadData(chunk, ChunkSize, ReadTimeout);
            if (received > 0) result = assemble(chunk, static_cast<int32_t>(received));
        } else {
            // The same assembly, fed block by block as bytes arrive, so the read ends as
            // soon as the answer is complete instead of waiting out its limit.
            received = XComm1.ReadDataUntil(chunk, ChunkSize, ReadTimeout,
                                            [&](const uint8_t* block, uint32_t n) {
                                                result = assemble(block, static_cast<int32_t>(n));
                                                return result != 22;
                                            });
        }
        logTraffic("RX", chunk, received);
        if (result != 22) return;
    }
}

void TF_Podesavanje::Send_Fn2(const uint8_t* request, int32_t count, bool wait, const Protocol& p) {
    if (ProcessMessages) ProcessMessages();
    try {
        if (!XComm1.IsOpen()) XComm1.OpenDevice();
        LastCommand = count > 7 ? request[7] : 0;
        uint32_t written = XComm1.SendData(request, static_cast<uint32_t>(count));
        logTraffic("TX", request, written);
        OdzivTekst.clear();
        if (written != static_cast<uint32_t>(count)) {
            StatusText = "Nekorektan Poziv Poslato " + std::to_string(written) + " bajta";
            XComm1.CloseDevice();
            return;
        }
        if (!wait) return;
        collect(10, [&](const uint8_t* chunk, int32_t n) { return AnalPoprPrijem(n, chunk, p.checkFrame); });
        XComm1.CloseDevice();
        StatusText = "Analiziram prijem od kase";
        p.dispatch(InputBuffer);
    } catch (const std::exception& e) {
        StatusText = CommError + std::string(e.what());
    }
}

int32_t TF_Podesavanje::AnalPoprPrijem(int32_t received, const uint8_t* chunk,
                                       const std::function<bool()>& checkFrame) {
    for (int32_t i = 0; i < received; ++i) {
        uint8_t b = chunk[i];
        if (InputCount == 0) {
            if (b != 0xAA) continue;
        } else if (InputCount == 1 || InputCount == 2) {
            if (b != (InputCount == 1 ? 0x01 : 0x11)) {
                InputCount = 0;
                InputBuffer[0] = InputBuffer[1] = InputBuffer[2] = 0;
                return 99;
            }
        } else if (InputCount >= InputBufferSize) {
            continue;  // a frame that never completes: the rest is dropped, not written past the end
        }
        InputBuffer[InputCount++] = b;
        if (InputCount >= 10 && b == 0x0D && InputCount == InputBuffer[8] + 12)
            return checkFrame() ? 0 : 1;
    }
    return 22;
}

void TF_Podesavanje::Send_Fn3(const uint8_t* request, int32_t count, bool wait, const Protocol& p) {
    try {
        if (!XComm1.IsOpen()) XComm1.OpenDevice();
        uint32_t written = XComm1.SendData(request, static_cast<uint32_t>(count));
        logTraffic("TX", request, written);
        OdzivTekst.clear();
        if (written != static_cast<uint32_t>(count)) {
            StatusText = "Nekorektno slanje podataka";
            XComm1.CloseDevice();
            return;
        }
        if (!wait) return;
        collect(41, [&](const uint8_t* chunk, int32_t n) { return AddInputBuffer(chunk, n); });
        p.checkFrame();
        XComm1.CloseDevice();
        p.dispatch(InputBuffer);
    } catch (const std::exception& e) {
        StatusText = CommError + std::string(e.what());
    }
}

int32_t TF_Podesavanje::AddInputBuffer(const uint8_t* chunk, int32_t received) {
    if (received == 0) return 22;
    for (int32_t i = 0; i < received; ++i) {
        if (InputCount >= InputBufferSize) return 22;  // beyond the buffer: dropped
        InputBuffer[InputCount++] = chunk[i];
        if (chunk[i] == 0x03) return 0;
    }
    return 22;
}
