// The Markon protocol: request operations, the general answer, the dispatch and the decoders,
// over the device session of the link and the local tables.
#pragma once

#include <cstdint>
#include <string>

#include "MarkonFrame.h"
#include "U_Podesavanje.h"

class Tdm_db;
class THostWindow;

// The six status bytes of the last general answer or status report, as hexadecimal text.
extern std::string StatusHex;
// The operator number of the last command 112 request.
extern int32_t CitaniOperater;

class TMarkon {
public:
    TMarkon(TF_Podesavanje& link, Tdm_db& dm, THostWindow& host);

    // ---- connect ----
    void PosaljiIBSA();
    void CitajIBO();
    // ---- master data ----
    void UpisiPoreskeStope();
    void CitajPoreskeStope();
    void PostaviLozinkuOperatera(int32_t newPassword);
    void UpisTrenutnogOperatera();
    void UpisiOperatera();
    void CitajOperatera(int32_t number);
    void CitajTrenutnogOperatera();
    void CitajArtikl(int32_t number);
    void UpisiArtikl();
    void ObrisiArtikl(int32_t number);
    void CitajOdjeljenje(int32_t number);
    void CitajTekstLiniju(int32_t line);

    // ---- answers ----
    bool OpstiOdgovor(const uint8_t* b);
    void IspitajFunkciju3(const TF_Podesavanje::Buffer& b);

    const markon::Bytes& LastRequest() const { return lastRequest_; }

private:
    // Advances the sequence, then sends unless `valid` is false (an invalid input still uses up
    // a sequence number, as the device side expects).
    void send(uint8_t command, const std::string& data, bool valid = true);

    void OdgovorFn48(const uint8_t* b, int code);
    void OdgovorFn50(const uint8_t* b);
    std::string OdgovorFn51(const uint8_t* b);
    void OdgovorFn53(const uint8_t* b);
    std::string OdgovorFn62(const uint8_t* b);
    void OdgovorFn64(const uint8_t* b, bool withDate, int code);
    void OdgovorFn68(const uint8_t* b);
    void OdgovorFn72(const uint8_t* b);
    void OdgovorFn74(const uint8_t* b);
    void OdgovorFn90(const uint8_t* b);
    void OdgovorFn91(const uint8_t* b);
    void OdgovorFn96(const uint8_t* b);
    void OdgovorFn97(const uint8_t* b);
    void OdgovorFn99(const uint8_t* b);
    void OdgovorFn107(const uint8_t* b);
    void OdgovorFn112(const uint8_t* b);
    void OdgovorFn131(const uint8_t* b);
    std::string OdgovorFn149(const uint8_t* b);
    std::string OdgovorFn150(const uint8_t* b, bool returnsText);
    std::string OdgovorFn160(const uint8_t* b);

    TF_Podesavanje& link_;
    Tdm_db& dm_;
    THostWindow& host_;
    markon::Bytes lastRequest_;
};
