#include "audio/codecs/ImaAdpcm.h"

#include <algorithm>
#include <array>

namespace tonvela {

namespace {

constexpr std::array<int, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int, 16> kIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int predicted = 0;
    int index = 0;

    // One 4-bit code: the standard nibble step, with the sample and the index clamped.
    std::int16_t Step(unsigned code) {
        const int step = kStepTable[static_cast<std::size_t>(index)];
        int diff = step >> 3;
        if ((code & 1u) != 0) diff += step >> 2;
        if ((code & 2u) != 0) diff += step >> 1;
        if ((code & 4u) != 0) diff += step;
        if ((code & 8u) != 0) diff = -diff;
        predicted = std::clamp(predicted + diff, -32768, 32767);
        index = std::clamp(index + kIndexTable[code & 15u], 0, 88);
        return static_cast<std::int16_t>(predicted);
    }
};

}  // namespace

bool CImaAdpcmDecoder::SetFormat(const ImaAdpcmFormat& format) {
    if (format.channels < 1 || format.channels > 2) return false;
    if (format.blockAlign < 4 * format.channels || format.samplesPerBlock < 1) return false;
    format_ = format;
    return true;
}

int CImaAdpcmDecoder::WavBlockCapacity(int channels, int blockAlign) {
    if (channels < 1 || blockAlign < 4 * channels) return 0;
    return (blockAlign - 4 * channels) / (4 * channels) * 8 + 1;
}

bool CImaAdpcmDecoder::DecodeWavBlock(const std::uint8_t* block, std::int16_t* out) const {
    const int channels = format_.channels;
    const int samples = format_.samplesPerBlock;
    if (channels < 1 || samples < 1) return false;
    // Only complete groups are decoded, so a block align that is no multiple of the group size
    // never makes us read past the block.
    const int codes = std::min(samples, WavBlockCapacity(channels, format_.blockAlign)) - 1;
    for (int c = 0; c < channels; ++c) {
        const std::uint8_t* header = block + 4 * c;
        ImaChannel state;
        state.predicted = static_cast<std::int16_t>(header[0] | (header[1] << 8));
        state.index = std::min<int>(header[2], 88);
        std::int16_t* dst = out + c;
        *dst = static_cast<std::int16_t>(state.predicted);
        dst += channels;
        int n = 0;
        for (int group = 0; n < codes; ++group) {
            const std::uint8_t* bytes = block + 4 * channels * (group + 1) + 4 * c;
            for (int b = 0; b < 4 && n < codes; ++b) {
                *dst = state.Step(bytes[b] & 0x0Fu);
                dst += channels;
                if (++n == codes) break;
                *dst = state.Step(static_cast<unsigned>(bytes[b] >> 4));
                dst += channels;
                ++n;
            }
        }
        for (int i = codes + 1; i < samples; ++i) {
            *dst = static_cast<std::int16_t>(state.predicted);
            dst += channels;
        }
    }
    return true;
}

int CImaAdpcmDecoder::DecodeIma4Packets(const std::uint8_t* block, std::int16_t* left, std::int16_t* right) const {
    const int channels = format_.channels;
    if (channels < 1) return 0;
    const int dataBytes = std::clamp(std::min<int>(format_.samplesPerBlock / 2, format_.blockAlign - 2), 0,
                                     kIma4PacketBytes - 2);
    for (int c = 0; c < channels && c < 2; ++c) {
        std::int16_t* dst = c == 0 ? left : right;
        if (dst == nullptr) continue;
        const std::uint8_t* packet = block + kIma4PacketBytes * c;
        ImaChannel state;
        state.predicted = static_cast<std::int16_t>((packet[0] << 8) | (packet[1] & 0x80));
        state.index = std::min(packet[1] & 0x7F, 88);
        for (int i = 0; i < dataBytes; ++i) {
            const unsigned byte = packet[2 + i];
            *dst++ = state.Step(byte & 0x0Fu);
            *dst++ = state.Step(byte >> 4);
        }
    }
    return 2 * dataBytes;
}

}  // namespace tonvela
