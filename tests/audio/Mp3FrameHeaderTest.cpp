// MPEG audio frame headers decoded against headers worked out by hand from the standard.
#include "audio/Mp3FrameHeader.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

struct HeaderCase {
    std::uint32_t header;
    int version, layer, bitRate, sampleRate, samplesPerFrame, channels, length;
};

// Lengths by the standard's formulas, worked by hand.
const HeaderCase kHeaders[] = {
    // MPEG-1 Layer III 128 kbit/s 44100 joint stereo: 144000 * 128 / 44100 = 417.96 -> 417.
    {0xFFFB9064, 3, 1, 128, 44100, 1152, 2, 417},
    // Same with the padding bit: 418.
    {0xFFFB9264, 3, 1, 128, 44100, 1152, 2, 418},
    // MPEG-2 Layer III 32 kbit/s 22050 mono: 72000 * 32 / 22050 = 104.49 -> 104.
    {0xFFF340C4, 2, 1, 32, 22050, 576, 1, 104},
    // MPEG-2.5 Layer III 32 kbit/s 11025 mono: 72000 * 32 / 11025 = 208.98 -> 208.
    {0xFFE340C4, 0, 1, 32, 11025, 576, 1, 208},
    // MPEG-1 Layer II 160 kbit/s 44100 stereo: 144000 * 160 / 44100 = 522.45 -> 522.
    {0xFFFD9004, 3, 2, 160, 44100, 1152, 2, 522},
    // MPEG-1 Layer I 288 kbit/s 44100 dual channel: (12000 * 288 / 44100 -> 78) * 4 = 312.
    {0xFFFF9084, 3, 3, 288, 44100, 384, 2, 312},
    // MPEG-2 Layer II 8 kbit/s 24000: 144000 * 8 / 24000 = 48.
    {0xFFF514C0, 2, 2, 8, 24000, 1152, 1, 48},
};

TEST(Mp3FrameHeader, DecodesHandWorkedHeaders) {
    for (const HeaderCase& c : kHeaders) {
        Mp3FrameHeader f;
        ASSERT_TRUE(DecodeMp3FrameHeader(c.header, f)) << std::hex << c.header;
        EXPECT_EQ(f.version, c.version) << std::hex << c.header;
        EXPECT_EQ(f.layer, c.layer) << std::hex << c.header;
        EXPECT_EQ(f.bitRate, c.bitRate) << std::hex << c.header;
        EXPECT_EQ(f.sampleRate, c.sampleRate) << std::hex << c.header;
        EXPECT_EQ(f.samplesPerFrame, c.samplesPerFrame) << std::hex << c.header;
        EXPECT_EQ(f.channels, c.channels) << std::hex << c.header;
        EXPECT_EQ(f.length, c.length) << std::hex << c.header;
    }
}

TEST(Mp3FrameHeader, RefusesReservedAndFreeFormat) {
    Mp3FrameHeader f;
    EXPECT_FALSE(DecodeMp3FrameHeader(0xFFDB9064, f));  // sync incomplete
    EXPECT_FALSE(DecodeMp3FrameHeader(0xFFEB9064, f));  // version bits 1
    EXPECT_FALSE(DecodeMp3FrameHeader(0xFFF99064, f));  // layer bits 0
    EXPECT_FALSE(DecodeMp3FrameHeader(0xFFFB0064, f));  // free format
    EXPECT_FALSE(DecodeMp3FrameHeader(0xFFFBF064, f));  // bit-rate index 15
    EXPECT_FALSE(DecodeMp3FrameHeader(0xFFFB9C64, f));  // sample-rate index 3
}

}  // namespace
}  // namespace tonvela
