// The Orbella protocol: request operations, the answer dispatch and the answer handlers, over
// the device session of the link and the local tables.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "OrbellaFrame.h"
#include "U_Podesavanje.h"

class Tdm_db;
class THostWindow;

class TOrbella {
public:
    TOrbella(TF_Podesavanje& link, Tdm_db& dm, THostWindow& host);

    // ---- requests: each sends one frame and waits; the outcome is in StatusText and the session
    void ZahtjevIdentifikacija();
    void ZahtjevIzlazVezaSaPC();
    void ZahtjevCitajArtikal(int32_t code);
    void ZahtjevUpisArtikla();
    void ZahtjevCitajGrupu(int32_t index);
    void ZahtjevUpisGrupe(const std::string& name, int32_t number, int32_t high, int32_t tax,
                          double amount);
    void ZahtjevCitajOperatera(int32_t number);
    void ZahtjevUpisOperatera();
    void ZahtjevCitajPoreskuStopu(int32_t index);
    void ZahtjevUpisPoreskihStopa();
    void ZahtjevCitajRedZaglavlja(int32_t line);
    void ZahtjevUpisRedaZaglavlja(int32_t line);
    void CitajZaglavljeUObjekat();

    // Sets the session for deleting article `code` on the device (an empty slot) and writes it.
    void ObrisiArtikal(int32_t code);

    // ---- answers --------------------------------------------------------------------------
    void IspitajFunkciju2(const TF_Podesavanje::Buffer& b);

    // The pauses between requests (100 ms in the tax-rate write); tests may shorten them.
    std::function<void(int ms)> Pause;

    // Frame of the last request sent (for support and tests).
    const orbella::Bytes& LastRequest() const { return lastRequest_; }

private:
    // Builds and sends one request, waiting for the answer. A data part that the one-byte
    // length cannot hold (a too long IBSA) is refused: nothing is sent, the sequence stays.
    void send(uint8_t command, const orbella::Bytes& data);
    void appendIbsa(orbella::Bytes& data) const;

    void OdzivIdentifikacija(const uint8_t* b);
    void OdzivCitajArtikal(const uint8_t* b);
    bool OdzivUpisArtikla(const uint8_t* b);
    void OdzivCitajGrupu(const uint8_t* b);
    void OdzivUpisGrupe(const uint8_t* b);
    void OdzivCitajOdjeljenje(const uint8_t* b);
    void OdzivCitajOperatera(const uint8_t* b);
    void OdzivUpisOperatera(const uint8_t* b);
    void OdzivCitajPoreskuStopu(const uint8_t* b);
    void OdzivUpisPoreskihStopa(const uint8_t* b);
    void OdzivCitajRedZaglavlja(const uint8_t* b);
    void OdzivUpisRedaZaglavlja(const uint8_t* b);
    std::string OdzivHex(const uint8_t* b);
    std::string OdzivBlok(const uint8_t* b, int n, int first, int count, bool padTo64);

    TF_Podesavanje& link_;
    Tdm_db& dm_;
    THostWindow& host_;
    orbella::Bytes lastRequest_;
};
