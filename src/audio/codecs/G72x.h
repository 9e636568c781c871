// ITU-T G.726 ADPCM decoders for the G.721 (32 kbit/s) and G.723 (24 and 40 kbit/s) encodings
// of NeXT/Sun sound files, with 16-bit linear output.
#pragma once

#include <cstdint>

namespace tonvela {

// Adaptive state of one G.726 decoder: quantizer scale factors, speed control and the
// pole/zero predictor with its history. Values are kept at the recommendation's word widths.
struct CG72xState {
    std::int32_t yl = 0;       // slow (locked) scale factor, 19 bits
    std::int16_t yu = 0;       // fast (unlocked) scale factor
    std::int16_t dms = 0;      // short-term mean of F(I)
    std::int16_t dml = 0;      // long-term mean of F(I)
    std::int16_t ap = 0;       // speed-control parameter
    std::int16_t a[2] = {};    // pole coefficients
    std::int16_t b[6] = {};    // zero coefficients
    std::int16_t pk[2] = {};   // signs of the last two partial reconstructions
    std::int16_t dq[6] = {};   // last six quantized differences, floating format
    std::int16_t sr[2] = {};   // last two reconstructed samples, floating format
    std::int16_t td = 0;       // tone detector

    CG72xState() { Reset(); }
    // The initial state the recommendation prescribes (also after a reset).
    void Reset();
};

// Each decodes one code (the low 4, 3 or 5 bits of code) and returns the reconstructed
// sample as 16-bit linear PCM (the 14-bit value times 4).
using G72xDecodeFn = std::int16_t (*)(int code, CG72xState& state);
std::int16_t G721Decode(int code, CG72xState& state);
std::int16_t G723Decode24(int code, CG72xState& state);
std::int16_t G723Decode40(int code, CG72xState& state);

}  // namespace tonvela
