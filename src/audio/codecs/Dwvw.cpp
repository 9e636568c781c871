#include "audio/codecs/Dwvw.h"

#include <utility>

namespace tonvela {

CDwvwDecoder::CDwvwDecoder(int sampleSize, RefillFn refill)
    : width_(sampleSize),
      dwmMax_(sampleSize / 2),
      maxDelta_(std::int32_t{1} << (sampleSize - 1)),
      span_(std::int32_t{1} << sampleSize),
      refill_(std::move(refill)) {}

bool CDwvwDecoder::Load(int n) {
    while (bitCount_ < n) {
        if (inIndex_ >= inEnd_ && !ended_) {
            inEnd_ = refill_ ? refill_(in_, sizeof in_) : 0;
            if (inEnd_ > sizeof in_) inEnd_ = sizeof in_;
            inIndex_ = 0;
            if (inEnd_ == 0) ended_ = true;
        }
        bits_ <<= 8;
        if (inIndex_ < inEnd_) {
            bits_ |= in_[inIndex_++];
            realBits_ += 8;
        }
        // Past the end the stream is padded with zero bits, so the last word can complete.
        bitCount_ += 8;
    }
    return true;
}

int CDwvwDecoder::TakeBits(int n) {
    if (n <= 0) return 0;
    Load(n);
    bitCount_ -= n;
    realBits_ = realBits_ > n ? realBits_ - n : 0;
    return static_cast<int>((bits_ >> bitCount_) & ((std::uint64_t{1} << n) - 1));
}

int CDwvwDecoder::TakeModifier() {
    // Unary code: the number of zero bits before a one, at most dwmMax_.
    Load(dwmMax_);
    int modifier = 0;
    while (modifier < dwmMax_) {
        --bitCount_;
        if (realBits_ > 0) --realBits_;
        if (((bits_ >> bitCount_) & 1) != 0) break;
        ++modifier;
    }
    return modifier;
}

int CDwvwDecoder::Decode(std::int32_t* out, int count) {
    int decoded = 0;
    while (decoded < count) {
        // The stream ends when no bit of it is held and nothing more arrives.
        if (realBits_ == 0) {
            if (inIndex_ >= inEnd_ && !ended_) {
                inEnd_ = refill_ ? refill_(in_, sizeof in_) : 0;
                if (inEnd_ > sizeof in_) inEnd_ = sizeof in_;
                inIndex_ = 0;
                if (inEnd_ == 0) ended_ = true;
            }
            if (inIndex_ >= inEnd_) break;
        }
        int modifier = TakeModifier();
        if (modifier != 0 && TakeBits(1) != 0) modifier = -modifier;
        const int deltaWidth = (lastDeltaWidth_ + modifier + width_) % width_;
        std::int32_t delta = 0;
        if (deltaWidth > 0) {
            delta = TakeBits(deltaWidth - 1) | (std::int32_t{1} << (deltaWidth - 1));
            const bool negative = TakeBits(1) != 0;
            if (delta == maxDelta_ - 1) delta += TakeBits(1);
            if (negative) delta = -delta;
        }
        std::int32_t sample = lastSample_ + delta;
        if (sample >= maxDelta_)
            sample -= span_;
        else if (sample < -maxDelta_)
            sample += span_;
        out[decoded++] = static_cast<std::int32_t>(static_cast<std::uint32_t>(sample) << (32 - width_));
        lastDeltaWidth_ = deltaWidth;
        lastSample_ = sample;
    }
    return decoded;
}

}  // namespace tonvela
