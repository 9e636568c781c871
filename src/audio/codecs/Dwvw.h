// Decoder for DWVW (delta word variable width), the AIFF-C "DWVW" compression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tonvela {

class CDwvwDecoder {
public:
    // Fills up to max bytes of the compressed stream into dst; returns the count, 0 at the end.
    using RefillFn = std::function<std::size_t(std::uint8_t* dst, std::size_t max)>;

    // sampleSize is the stored width, 8 to 24 bits (others are refused by the caller).
    CDwvwDecoder(int sampleSize, RefillFn refill);

    // Decodes up to count samples into out, each justified to the top of the 32-bit word.
    // Returns the number decoded; fewer than count only when the compressed stream ends.
    int Decode(std::int32_t* out, int count);

private:
    // Makes sure n bits are held, padding with zero bits past the end; false when no real
    // bit of the stream is left at all.
    bool Load(int n);
    int TakeBits(int n);
    int TakeModifier();

    int width_;
    int dwmMax_;
    std::int32_t maxDelta_;
    std::int32_t span_;
    RefillFn refill_;
    std::uint64_t bits_ = 0;   // reservoir; the low bitCount_ bits are held
    int bitCount_ = 0;
    int realBits_ = 0;         // held bits that came from the stream rather than padding
    bool ended_ = false;       // refill returned nothing
    int lastDeltaWidth_ = 0;
    std::int32_t lastSample_ = 0;
    std::uint8_t in_[256] = {};
    std::size_t inIndex_ = 0;
    std::size_t inEnd_ = 0;
};

}  // namespace tonvela
