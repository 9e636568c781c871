#include "audio/codecs/MsAdpcm.h"

#include <algorithm>
#include <array>

namespace tonvela {

namespace {

constexpr std::array<unsigned, 16> kAdaptationTable = {230, 230, 230, 230, 307, 409, 512, 614,
                                                  768, 614, 512, 409, 307, 230, 230, 230};

struct MsChannel {
    int coef1 = 0;
    int coef2 = 0;
    unsigned delta = 0;  // 16 bits wide, as the block header stores it (kept in an int-sized
                         // register so stores of samples cannot alias it)
    int sample1 = 0;
    int sample2 = 0;

    std::int16_t Step(unsigned code) {
        // Integer division truncates toward zero, as the format's reference decoder does.
        const int predictor = (sample1 * coef1 + sample2 * coef2) / 256;
        const int signedCode = static_cast<int>(code) - (code >= 8 ? 16 : 0);
        const int value = std::clamp(predictor + static_cast<int>(delta) * signedCode, -32768, 32767);
        // Both factors are non-negative, so an unsigned shift is the truncating division.
        const unsigned adapted = (static_cast<unsigned>(delta) * kAdaptationTable[code]) >> 8;
        delta = (adapted < 16u ? 16u : adapted) & 0xFFFFu;
        sample2 = sample1;
        sample1 = value;
        return static_cast<std::int16_t>(value);
    }
};

int ReadLe16Signed(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::size_t CMsAdpcmDecoder::BlockBytesNeeded(int channels, int samplesPerBlock) {
    if (channels < 1 || samplesPerBlock < 2) return 0;
    const auto c = static_cast<std::size_t>(channels);
    return 7 * c + (c * static_cast<std::size_t>(samplesPerBlock - 2) + 1) / 2;
}

bool CMsAdpcmDecoder::SetFormat(const MsAdpcmFormat& format) {
    if (format.channels < 1 || format.channels > 2) return false;
    if (format.coefficients.empty() || format.samplesPerBlock < 2) return false;
    if (format.blockAlign < BlockBytesNeeded(format.channels, format.samplesPerBlock)) return false;
    format_ = format;
    return true;
}

bool CMsAdpcmDecoder::DecodeBlock(const std::uint8_t* block, std::int16_t* out) const {
    const int channels = format_.channels;
    const int samples = format_.samplesPerBlock;
    if (channels < 1 || channels > 2 || samples < 2) return false;
    std::array<MsChannel, 2> state{};
    const std::uint8_t* p = block;
    for (int c = 0; c < channels; ++c) {
        const std::size_t predictor = *p++;
        if (predictor >= format_.coefficients.size()) return false;
        state[c].coef1 = format_.coefficients[predictor].coef1;
        state[c].coef2 = format_.coefficients[predictor].coef2;
    }
    for (int c = 0; c < channels; ++c, p += 2) state[c].delta = static_cast<unsigned>(p[0] | (p[1] << 8));
    for (int c = 0; c < channels; ++c, p += 2) state[c].sample1 = ReadLe16Signed(p);
    for (int c = 0; c < channels; ++c, p += 2) state[c].sample2 = ReadLe16Signed(p);
    std::int16_t* dst = out;
    for (int c = 0; c < channels; ++c) *dst++ = static_cast<std::int16_t>(state[c].sample2);
    for (int c = 0; c < channels; ++c) *dst++ = static_cast<std::int16_t>(state[c].sample1);

    // Codes alternate between the channels, high nibble first; a mono block uses both nibbles
    // for channel 0.
    const std::size_t codes = static_cast<std::size_t>(channels) * static_cast<std::size_t>(samples - 2);
    const std::size_t wholeBytes = codes / 2;
    if (channels == 2) {
        MsChannel a = state[0], b = state[1];  // locals stay in registers
        for (std::size_t n = 0; n < wholeBytes; ++n, ++p) {
            dst[0] = a.Step(static_cast<unsigned>(*p >> 4));
            dst[1] = b.Step(*p & 0x0Fu);
            dst += 2;
        }
    } else {
        MsChannel a = state[0];
        for (std::size_t n = 0; n < wholeBytes; ++n, ++p) {
            dst[0] = a.Step(static_cast<unsigned>(*p >> 4));
            dst[1] = a.Step(*p & 0x0Fu);
            dst += 2;
        }
        if (codes % 2 != 0) *dst = a.Step(static_cast<unsigned>(*p >> 4));
    }
    return true;
}

}  // namespace tonvela
