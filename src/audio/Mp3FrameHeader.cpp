#include "audio/Mp3FrameHeader.h"

namespace tonvela {

namespace {

// kbit/s by bit-rate index; MPEG-2 and MPEG-2.5 share one column set.
constexpr int kBitRatesV1[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
};
constexpr int kBitRatesV2[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer II
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer III
};
// Hz by sample-rate index, per version bits (1 is reserved).
constexpr int kSampleRates[4][3] = {
    {11025, 12000, 8000},   // MPEG-2.5
    {0, 0, 0},              // reserved
    {22050, 24000, 16000},  // MPEG-2
    {44100, 48000, 32000},  // MPEG-1
};

}  // namespace

bool DecodeMp3FrameHeader(std::uint32_t h, Mp3FrameHeader& out) {
    if ((h & 0xFFE00000u) != 0xFFE00000u) return false;
    const int version = static_cast<int>((h >> 19) & 3);
    const int layer = static_cast<int>((h >> 17) & 3);
    const int bitRateIndex = static_cast<int>((h >> 12) & 15);
    const int rateIndex = static_cast<int>((h >> 10) & 3);
    const int padding = static_cast<int>((h >> 9) & 1);
    if (version == 1 || layer == 0 || bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3)
        return false;
    const int layerRow = 3 - layer;  // 0 Layer I, 1 Layer II, 2 Layer III
    Mp3FrameHeader f;
    f.version = version;
    f.layer = layer;
    f.bitRate = (version == 3 ? kBitRatesV1 : kBitRatesV2)[layerRow][bitRateIndex];
    f.sampleRate = kSampleRates[version][rateIndex];
    f.samplesPerFrame = layer == 3 ? 384 : (layer == 2 || version == 3) ? 1152 : 576;
    f.channels = ((h >> 6) & 3) == 3 ? 1 : 2;
    if (layer == 3)
        f.length = (12000 * f.bitRate / f.sampleRate + padding) * 4;
    else if (layer == 1 && version != 3)
        f.length = 72000 * f.bitRate / f.sampleRate + padding;
    else
        f.length = 144000 * f.bitRate / f.sampleRate + padding;
    out = f;
    return true;
}

}  // namespace tonvela
