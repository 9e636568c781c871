// The sample codecs against hand-worked values and against sox's decoders.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "TestUtil.h"
#include "audio/codecs/G711.h"
#include "audio/codecs/Gsm610.h"
#include "audio/codecs/ImaAdpcm.h"
#include "audio/codecs/MsAdpcm.h"

namespace tonvela {
namespace {

using test::RunCommand;
using test::TempDir;

TEST(G711Test, HandWorkedCodes) {
    EXPECT_EQ(ExpandALaw(0xD5), 8);
    EXPECT_EQ(ExpandALaw(0x55), -8);
    EXPECT_EQ(ExpandALaw(0xAA), 32256);  // segment 7, largest step
    EXPECT_EQ(ExpandALaw(0x2A), -32256);
    EXPECT_EQ(ExpandMuLaw(0xFF), 0);
    EXPECT_EQ(ExpandMuLaw(0x7F), 0);
    EXPECT_EQ(ExpandMuLaw(0x00), -32124);
    EXPECT_EQ(ExpandMuLaw(0x80), 32124);
}

// Every one of the 256 codes decoded by sox must match ours.
TEST(G711Test, AllCodesMatchSox) {
    TempDir dir;
    std::vector<std::uint8_t> codes(256);
    for (int i = 0; i < 256; ++i) codes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("codes.raw"), codes));
    struct Law {
        const char* encoding;
        G711Expand expand;
    };
    for (const Law& law : {Law{"a-law", ExpandALaw}, Law{"u-law", ExpandMuLaw}}) {
        SCOPED_TRACE(law.encoding);
        const std::string out = dir.File(std::string(law.encoding) + ".s16");
        ASSERT_EQ(RunCommand({"sox", "-t", "raw", "-r", "8000", "-c", "1", "-e", law.encoding, "-b", "8",
                              dir.File("codes.raw"), "-t", "raw", "-e", "signed", "-b", "16", out}),
                  0);
        const std::vector<std::int16_t> ref = test::ReadS16le(out);
        ASSERT_EQ(ref.size(), 256u);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(law.expand(static_cast<std::uint8_t>(i)), ref[static_cast<std::size_t>(i)]) << i;
    }
}

ImaAdpcmFormat MakeImaFormat(int channels, int blockAlign, int samplesPerBlock) {
    ImaAdpcmFormat f;
    f.formatTag = 17;
    f.channels = static_cast<std::uint16_t>(channels);
    f.sampleRate = 8000;
    f.blockAlign = static_cast<std::uint16_t>(blockAlign);
    f.bitsPerSample = 4;
    f.extraSize = 2;
    f.samplesPerBlock = static_cast<std::uint16_t>(samplesPerBlock);
    return f;
}

TEST(ImaAdpcmTest, SetFormatRefusesWhatItCannotDecode) {
    CImaAdpcmDecoder d;
    EXPECT_FALSE(d.SetFormat(MakeImaFormat(0, 256, 505)));
    EXPECT_FALSE(d.SetFormat(MakeImaFormat(3, 256, 505)));
    EXPECT_FALSE(d.SetFormat(MakeImaFormat(2, 7, 1)));  // no room for two headers
    EXPECT_FALSE(d.SetFormat(MakeImaFormat(1, 256, 0)));
    EXPECT_TRUE(d.SetFormat(MakeImaFormat(1, 256, 505)));
    EXPECT_EQ(CImaAdpcmDecoder::WavBlockCapacity(1, 256), 505);
    EXPECT_EQ(CImaAdpcmDecoder::WavBlockCapacity(2, 2048), 2041);
    EXPECT_EQ(CImaAdpcmDecoder::WavBlockCapacity(1, 258), 505);  // a partial group is not used
}

TEST(ImaAdpcmTest, WavBlockHandWorked) {
    // Header: sample 100, step index 100 (used as 88, step 32767); then codes 7 and 0 and 8.
    CImaAdpcmDecoder d;
    ASSERT_TRUE(d.SetFormat(MakeImaFormat(1, 8, 9)));
    const std::array<std::uint8_t, 8> block = {100, 0, 100, 0, 0x07 | 0x00, 0x08, 0x00, 0x00};
    std::array<std::int16_t, 9> out{};
    ASSERT_TRUE(d.DecodeWavBlock(block.data(), out.data()));
    EXPECT_EQ(out[0], 100);
    // Code 7 at step 32767: diff = 4095 + 8191 + 16383 + 32767; clamps to 32767, index stays 88.
    EXPECT_EQ(out[1], 32767);
    // Code 0: diff = 32767 >> 3 = 4095, clamped again; index 87 (step 29794).
    EXPECT_EQ(out[2], 32767);
    // Code 8 at step 29794: diff = -(29794 >> 3) = -3724.
    EXPECT_EQ(out[3], 32767 - 3724);
}

TEST(ImaAdpcmTest, Ima4PacketClampsAtTheTop) {
    CImaAdpcmDecoder d;
    ASSERT_TRUE(d.SetFormat(MakeImaFormat(1, 34, 64)));
    std::array<std::uint8_t, 34> packet{};
    packet[0] = 0x7F;  // predicted 0x7F80 = 32640
    packet[1] = 0x80 | 60;
    packet[2] = 0x77;  // two codes 7: large positive steps
    std::array<std::int16_t, 64> left{};
    EXPECT_EQ(d.DecodeIma4Packets(packet.data(), left.data(), nullptr), 64);
    EXPECT_EQ(left[0], 32767);
    EXPECT_EQ(left[1], 32767);
}

TEST(MsAdpcmTest, RefusesBadRecordsAndPredictors) {
    CMsAdpcmDecoder d;
    MsAdpcmFormat f;
    f.channels = 1;
    f.blockAlign = 256;
    f.samplesPerBlock = 500;
    f.coefficients = {{256, 0}, {512, -256}};
    EXPECT_TRUE(d.SetFormat(f));
    f.samplesPerBlock = 501;  // 7 + 250 bytes needed
    EXPECT_FALSE(d.SetFormat(f));
    f.samplesPerBlock = 500;
    f.channels = 3;
    EXPECT_FALSE(d.SetFormat(f));
    f.channels = 1;
    f.coefficients.clear();
    EXPECT_FALSE(d.SetFormat(f));

    std::vector<std::uint8_t> block(256, 0);
    block[0] = 2;  // only two pairs exist
    std::vector<std::int16_t> out(500);
    EXPECT_FALSE(d.DecodeBlock(block.data(), out.data()));
    block[0] = 1;
    EXPECT_TRUE(d.DecodeBlock(block.data(), out.data()));
}

TEST(MsAdpcmTest, HandWorkedBlockAndDeltaFloor) {
    CMsAdpcmDecoder d;
    MsAdpcmFormat f;
    f.channels = 1;
    f.blockAlign = 9;
    f.samplesPerBlock = 6;
    f.coefficients = {{256, 0}, {512, -256}};
    ASSERT_TRUE(d.SetFormat(f));
    // predictor 1, delta 20, sample1 1000, sample2 900, codes 1, 0xF (-1), 0, 0.
    const std::array<std::uint8_t, 9> block = {1, 20, 0, 0xE8, 0x03, 0x84, 0x03, 0x1F, 0x00};
    std::array<std::int16_t, 6> out{};
    ASSERT_TRUE(d.DecodeBlock(block.data(), out.data()));
    EXPECT_EQ(out[0], 900);
    EXPECT_EQ(out[1], 1000);
    // (1000*512 - 900*256)/256 = 1100; + 20*1 = 1120; delta = 20*230/256 = 17.
    EXPECT_EQ(out[2], 1120);
    // (1120*512 - 1000*256)/256 = 1240; + 17*(-1) = 1223; delta = 17*230/256 = 15 -> 16.
    EXPECT_EQ(out[3], 1223);
    // (1223*512 - 1120*256)/256 = 1326; + 16*0.
    EXPECT_EQ(out[4], 1326);
    EXPECT_EQ(out[5], (1326 * 512 - 1223 * 256) / 256);
}

TEST(Gsm610Test, FramingMustMatchTheCall) {
    CGsm610Decoder plain;
    ASSERT_TRUE(plain.Create(false));
    std::array<std::uint8_t, 65> block{};
    std::array<std::int16_t, 320> out{};
    EXPECT_FALSE(plain.DecodeFrame(block.data(), out.data()));  // no 0xD magic
    block[0] = 0xD0;
    EXPECT_TRUE(plain.DecodeFrame(block.data(), out.data()));
    EXPECT_FALSE(plain.DecodeWav49Block(block.data(), out.data()));
    CGsm610Decoder wav;
    ASSERT_TRUE(wav.Create(true));
    EXPECT_TRUE(wav.DecodeWav49Block(block.data(), out.data()));
}

}  // namespace
}  // namespace tonvela
