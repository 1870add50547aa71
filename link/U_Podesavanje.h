// The device link object: the serial port to the fiscal device, the device session through
// which the main window and the protocols hand values to each other, and one send-and-receive
// exchange per protocol. The link knows no protocol: each exchange is given the frame check
// and the dispatch of the protocol that asked.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "XComDrv.h"

// The latest status or result message; the main window adds it to its status log.
extern std::string StatusText;
// Command code of the last Orbella request (its byte 7).
extern int32_t LastCommand;
// Set by an identification answer; read by the connect command.
extern bool DeviceAnswered;

class TF_Podesavanje {
public:
    static constexpr int InputBufferSize = 2000;
    static constexpr int ChunkSize = 500;
    using Buffer = std::array<uint8_t, InputBufferSize>;

    // What a protocol gives an exchange. checkFrame looks at (and may rearrange) InputBuffer:
    // for the Orbella it decides whether a completed frame passes; for the Markon it is the
    // frame check run after collecting, whose answer the exchange does not use.
    struct Protocol {
        std::function<bool()> checkFrame;
        std::function<void(Buffer)> dispatch;  // gets a copy of InputBuffer
    };

    TF_Podesavanje();

    const std::string Caption = "ZENTOR FISKALNI UREDJAJI - ORBELLA";
    TXComm XComm1;

    Buffer InputBuffer{};
    int32_t InputCount = 0;
    int32_t ReadTimeout = 0;
    std::array<uint8_t, 2> AdresaKase{};
    std::array<uint8_t, 3> IBFKBajtovi{};
    int32_t BrojPaketa = 0;
    std::string IBSA;
    std::string IBO;
    uint8_t ArtikalPrihvacen = 0;
    uint8_t KomandaOK = 0;
    std::string OdzivTekst;
    uint8_t KodnaStrana = 0;
    int32_t ArtSifra = 0;
    int32_t ArtOdjeljenje = 0;
    int32_t ArtStopa = 0;
    std::string ArtBarKod;
    double ArtCijena = 0;
    std::string ArtNaziv;
    uint8_t ArtStopaSlovo = 0;
    std::string GrupaNaziv;
    int32_t OpSifra = 0;
    std::string OpNaziv;
    int32_t OpLozinka = 0;
    std::array<double, 4> PoreskeStope{};
    int32_t StopaIndeks = 0;
    int32_t RedBroj = 0;

    // The article record that deletes `code` in a device: an empty name (36 bytes 0xFF), group 1,
    // rate 0, bar code of fourteen zeros, price 0.
    void SetEmptyArticle(int32_t code);

    // Orbella exchange: write, assemble the answer frame, close the port, dispatch.
    void Send_Fn2(const uint8_t* request, int32_t count, bool wait, const Protocol& p);
    // Markon exchange: write, collect up to the end byte 0x03, check, close, dispatch.
    void Send_Fn3(const uint8_t* request, int32_t count, bool wait, const Protocol& p);
    // Orbella answer assembly over one chunk: 0 frame complete and checked, 1 complete but the
    // check failed, 22 more bytes needed, 99 broken start sequence.
    int32_t AnalPoprPrijem(int32_t received, const uint8_t* chunk,
                           const std::function<bool()>& checkFrame);
    // Markon answer collection over one chunk: 0 when the end byte 0x03 came, else 22.
    int32_t AddInputBuffer(const uint8_t* chunk, int32_t received);

    // Lets pending window messages be processed (set by the front end; may be empty).
    std::function<void()> ProcessMessages;

    // Strict timing: every read waits out its full limit even when the answer is complete,
    // as the device link always did. Off by default; TARVELA_STRICT_TIMING=1 turns it on.
    bool StrictTiming = false;
    // Traffic log for support: each write and read chunk of an exchange is appended to this
    // file as a line "<ms since epoch> <TX|RX> <count> <hex bytes>". Empty: no log.
    // Set from TARVELA_TRAFFIC_LOG at creation.
    std::string TrafficLog;

private:
    void logTraffic(const char* direction, const uint8_t* bytes, size_t n) const;
    // Reads up to `reads` chunks, each handed to `assemble`, until it answers other than 22.
    void collect(int reads, const std::function<int32_t(const uint8_t*, int32_t)>& assemble);
};
