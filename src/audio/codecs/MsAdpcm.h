// Microsoft ADPCM block decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tonvela {

struct MsAdpcmCoefficients {
    std::int16_t coef1 = 0;
    std::int16_t coef2 = 0;
};

// The fields of a Microsoft ADPCM format record that decoding needs.
struct MsAdpcmFormat {
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t samplesPerBlock = 0;
    std::vector<MsAdpcmCoefficients> coefficients;
};

class CMsAdpcmDecoder {
public:
    CMsAdpcmDecoder() = default;
    virtual ~CMsAdpcmDecoder() = default;

    // Takes a copy of the record. False (and the old record kept) unless it has one or two
    // channels, at least one coefficient pair, at least two samples per block, and a block align
    // large enough for the headers and the codes of every sample.
    bool SetFormat(const MsAdpcmFormat& format);
    const MsAdpcmFormat& GetFormat() const { return format_; }

    // Bytes a block needs for the given layout: the headers plus one nibble per coded sample.
    static std::size_t BlockBytesNeeded(int channels, int samplesPerBlock);

    // Decodes one block (blockAlign bytes) into samplesPerBlock x channels interleaved samples.
    // False when a predictor index is not below the coefficient count: the block is unusable.
    bool DecodeBlock(const std::uint8_t* block, std::int16_t* out) const;

private:
    MsAdpcmFormat format_{};
};

}  // namespace tonvela
