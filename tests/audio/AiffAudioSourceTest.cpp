// The AIFF/AIFF-C reader against files written by sox, ffmpeg and libsndfile and decoded by
// them, and against files built by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "AiffSndTestUtil.h"
#include "audio/AiffAudioSource.h"

namespace tonvela {
namespace {

using test::DecodeAll;
using test::DecodedAudio;
using test::RunCommand;
using test::TempDir;

class AiffAudioSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox") || !test::HaveTool("sndfile-convert") || !test::HaveTool("ffmpeg"))
            GTEST_SKIP() << "sox, ffmpeg and sndfile-convert are needed";
        ASSERT_TRUE(test::MakeSignal(dir.File("mono.wav"), 8000, 1, 0.7));
        ASSERT_TRUE(test::MakeSignal(dir.File("stereo.wav"), 11025, 2, 0.6));
    }

    std::string Run(const std::vector<std::string>& args, const std::string& out) {
        EXPECT_EQ(RunCommand(args), 0) << args[0] << " " << out;
        return out;
    }
    std::string Sndfile(const std::string& encoding, const std::string& input, const std::string& name) {
        return Run({"sndfile-convert", encoding, dir.File(input), dir.File(name)}, dir.File(name));
    }
    // libsndfile's own decode to raw little-endian PCM of the given width (16 or 32).
    std::string SndfileRaw(const std::string& path, int bits) {
        const std::string out = path + "." + std::to_string(bits) + ".raw";
        return Run({"sndfile-convert", "-endian=little", bits == 16 ? "-pcm16" : "-pcm32", path, out}, out);
    }

    // Our decode against interleaved reference values; right must be file channel `second`.
    void ExpectDecode(const std::string& path, int channels, const std::vector<int>& reference, int bits = 16,
                      int second = 1) {
        CAiffAudioSource src;
        ASSERT_TRUE(src.Open(path, 0)) << path;
        EXPECT_EQ(src.GetChannels(), channels);
        EXPECT_EQ(src.GetOutputChannels(), channels == 1 ? 1 : 2);
        EXPECT_EQ(src.GetBitsPerSample(), bits);
        const DecodedAudio got = DecodeAll(src);
        EXPECT_FALSE(got.overlong);
        for (int c : {0, second}) {
            if (c >= channels) break;
            const std::vector<int> want = test::Channel(reference, channels, c);
            const std::vector<int>& have = c == 0 ? got.left : got.right;
            ASSERT_EQ(have.size(), want.size()) << path << " channel " << c;
            ASSERT_GT(want.size(), 100u);
            std::size_t mismatches = 0, first = 0;
            for (std::size_t i = 0; i < want.size(); ++i)
                if (have[i] != want[i] && mismatches++ == 0) first = i;
            EXPECT_EQ(mismatches, 0u) << path << " channel " << c << " first at " << first << ": "
                                      << (mismatches ? have[first] : 0) << " vs " << (mismatches ? want[first] : 0);
        }
    }

    static std::vector<int> Top16(const std::vector<std::int32_t>& s32) {
        std::vector<int> out;
        for (std::int32_t v : s32) out.push_back(v >> 16);
        return out;
    }
    static std::vector<int> Widen(const std::vector<std::int16_t>& s16) { return {s16.begin(), s16.end()}; }

    TempDir dir;
};

// Integer AIFF from sox, 8 to 32 bits: 16-bit exact, wider samples keep their top two bytes
// (truncated, where sox would round), 8-bit samples come out unsigned.
TEST_F(AiffAudioSourceTest, IntegerPcm) {
    for (int bits : {8, 16, 24, 32}) {
        for (const char* input : {"mono.wav", "stereo.wav"}) {
            SCOPED_TRACE(std::to_string(bits) + " " + input);
            const int channels = std::string(input) == "mono.wav" ? 1 : 2;
            // Stereo goes into AIFF-C ("NONE"), mono into plain AIFF.
            const std::string aif = dir.File(std::to_string(bits) + input + (channels == 2 ? ".aifc" : ".aiff"));
            Run({"sox", "-D", dir.File(input), "-b", std::to_string(bits), "-e", "signed", aif}, aif);
            ASSERT_TRUE(test::SoxDecode(aif, aif + ".s32", 32));
            const std::vector<std::int32_t> ref = test::ReadS32le(aif + ".s32");
            if (bits == 8) {
                std::vector<int> want;
                for (std::int32_t v : ref) want.push_back((v >> 24) + 128);
                ExpectDecode(aif, channels, want, 8);
            } else {
                ExpectDecode(aif, channels, Top16(ref));
            }
        }
    }
}

// Three, four and six channels deliver the pair (0, 1), (0, 1) and (0, 3); five are refused.
TEST_F(AiffAudioSourceTest, MultiChannelPairs) {
    for (int channels : {3, 4, 5, 6}) {
        SCOPED_TRACE(channels);
        const std::string wav = dir.File("m" + std::to_string(channels) + ".wav");
        ASSERT_TRUE(test::MakeSignal(wav, 8000, channels, 0.4));
        const std::string aif = Run({"sox", "-D", wav, "-b", "16", wav + ".aif"}, wav + ".aif");
        if (channels == 5) {
            CAiffAudioSource src;
            EXPECT_FALSE(src.Open(aif, 0));
            EXPECT_EQ(src.GetChannels(), 0);
            continue;
        }
        ASSERT_TRUE(test::SoxDecode(aif, aif + ".s16", 16));
        ExpectDecode(aif, channels, Widen(test::ReadS16le(aif + ".s16")), 16, channels == 6 ? 3 : 1);
    }
    // Six-channel mu-law takes the same pair.
    const std::string ulaw = Sndfile("-ulaw", "m6.wav", "m6u.aif");
    ASSERT_TRUE(test::FfmpegDecode(ulaw, ulaw + ".s16", "s16le"));
    ExpectDecode(ulaw, 6, Widen(test::ReadS16le(ulaw + ".s16")), 16, 3);
}

// AIFF-C: sowt (ffmpeg) exact against sox, mu-law and A-law (libsndfile) against ffmpeg (sox
// does not read libsndfile's G.711 AIFF-C); "raw " bytes unchanged.
TEST_F(AiffAudioSourceTest, AifcIntegerAndG711) {
    const std::string sowt = Run({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", dir.File("stereo.wav"), "-c:a",
                                  "pcm_s16le", dir.File("sowt.aif")},
                                 dir.File("sowt.aif"));
    ASSERT_TRUE(test::SoxDecode(sowt, sowt + ".s16", 16));
    ExpectDecode(sowt, 2, Widen(test::ReadS16le(sowt + ".s16")));

    for (const char* enc : {"-ulaw", "-alaw"}) {
        for (const char* input : {"mono.wav", "stereo.wav"}) {
            SCOPED_TRACE(std::string(enc) + input);
            const std::string aif = Sndfile(enc, input, std::string(enc) + input + ".aif");
            ASSERT_TRUE(test::FfmpegDecode(aif, aif + ".s16", "s16le"));
            ExpectDecode(aif, std::string(input) == "mono.wav" ? 1 : 2, Widen(test::ReadS16le(aif + ".s16")));
        }
    }

    const std::string raw = Sndfile("-pcmu8", "stereo.wav", "u8.aif");
    const std::string bytes = raw + ".u8";
    Run({"sndfile-convert", "-pcmu8", raw, bytes + ".raw"}, bytes);
    const std::vector<std::uint8_t> u8 = test::ReadFileBytes(bytes + ".raw");
    ExpectDecode(raw, 2, std::vector<int>(u8.begin(), u8.end()), 8);
}

// fl32 and fl64: value x 2147483647, truncated, top 16 bits, from ffmpeg's float decode.
TEST_F(AiffAudioSourceTest, AifcFloats) {
    const std::string f32 = Sndfile("-float32", "stereo.wav", "f32.aif");
    const std::string f64 = Sndfile("-float64", "mono.wav", "f64.aif");
    ASSERT_TRUE(test::FfmpegDecode(f32, f32 + ".f32", "f32le"));
    ASSERT_TRUE(test::FfmpegDecode(f64, f64 + ".f64", "f64le"));
    std::vector<int> want32, want64;
    for (double v : test::ReadF32le(f32 + ".f32")) want32.push_back(test::FloatRule(v));
    for (double v : test::ReadF64le(f64 + ".f64")) want64.push_back(test::FloatRule(v));
    ExpectDecode(f32, 2, want32);
    ExpectDecode(f64, 1, want64);
}

// IMA4, GSM and DWVW from libsndfile, exact against libsndfile's own decode. (ffmpeg carries
// the IMA4 predictor over from packet to packet; every packet header here restarts it.)
TEST_F(AiffAudioSourceTest, AifcCompressedAgainstLibsndfile) {
    for (const char* input : {"mono.wav", "stereo.wav"}) {
        SCOPED_TRACE(input);
        const std::string ima = Sndfile("-ima-adpcm", input, std::string("ima") + input + ".aif");
        ExpectDecode(ima, std::string(input) == "mono.wav" ? 1 : 2, Widen(test::ReadS16le(SndfileRaw(ima, 16))));
    }
    const std::string gsm = Sndfile("-gsm610", "mono.wav", "gsm.aif");
    ExpectDecode(gsm, 1, Widen(test::ReadS16le(SndfileRaw(gsm, 16))));
    const std::string d16 = Sndfile("-dwvw16", "mono.wav", "d16.aif");
    ExpectDecode(d16, 1, Widen(test::ReadS16le(SndfileRaw(d16, 16))));
    const std::string d24 = Sndfile("-dwvw24", "mono.wav", "d24.aif");
    ExpectDecode(d24, 1, Top16(test::ReadS32le(SndfileRaw(d24, 32))));
}

// Six-channel IMA4 built from six mono IMA4 files' packets: channels 0 and 3 come out.
TEST_F(AiffAudioSourceTest, SixChannelIma4) {
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<std::vector<std::int16_t>> decoded;
    std::vector<std::uint8_t> header;
    for (int c = 0; c < 6; ++c) {
        const std::string wav = dir.File("c" + std::to_string(c) + ".wav");
        ASSERT_EQ(RunCommand({"sox", "-R", "-n", "-r", "8000", "-c", "1", "-b", "16", wav, "synth", "0.2", "sine",
                              std::to_string(300 + 200 * c)}),
                  0);
        const std::string aif = Sndfile("-ima-adpcm", "c" + std::to_string(c) + ".wav", "c" + std::to_string(c) + ".aif");
        decoded.push_back(test::ReadS16le(SndfileRaw(aif, 16)));
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(aif);
        std::size_t ssnd = 0;
        for (std::size_t i = 12; i + 4 < bytes.size(); ++i)
            if (std::string(bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i) + 4) == "SSND") ssnd = i;
        ASSERT_GT(ssnd, 0u);
        packets.emplace_back(bytes.begin() + static_cast<long>(ssnd) + 16, bytes.end());
    }
    const std::size_t blocks = packets[0].size() / 34;
    std::vector<std::uint8_t> f;
    test::PutText(f, "FORM");
    test::PutBe32(f, 0);
    test::PutText(f, "AIFC");
    test::PutText(f, "COMM");
    test::PutBe32(f, 24);
    test::PutBe16(f, 6);
    test::PutBe32(f, static_cast<std::uint32_t>(blocks * 64));
    test::PutBe16(f, 16);
    for (int b : {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0}) f.push_back(static_cast<std::uint8_t>(b));  // 8000
    test::PutText(f, "ima4");
    test::PutBe16(f, 0);
    test::PutText(f, "SSND");
    test::PutBe32(f, static_cast<std::uint32_t>(8 + blocks * 34 * 6));
    test::PutBe32(f, 0);
    test::PutBe32(f, 0);
    for (std::size_t k = 0; k < blocks; ++k)
        for (int c = 0; c < 6; ++c)
            f.insert(f.end(), packets[static_cast<std::size_t>(c)].begin() + static_cast<long>(34 * k),
                     packets[static_cast<std::size_t>(c)].begin() + static_cast<long>(34 * k + 34));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("six.aifc"), f));
    CAiffAudioSource src;
    ASSERT_TRUE(src.Open(dir.File("six.aifc"), 0));
    EXPECT_EQ(src.GetOutputChannels(), 2);
    const DecodedAudio got = DecodeAll(src);
    ASSERT_EQ(got.left.size(), blocks * 64);
    ASSERT_LE(got.left.size(), decoded[0].size());
    for (std::size_t i = 0; i < got.left.size(); ++i) {
        ASSERT_EQ(got.left[i], decoded[0][i]) << i;
        ASSERT_EQ(got.right[i], decoded[3][i]) << i;
    }
}

// ---- Files built by hand ----

struct AiffBuilder {
    std::vector<std::uint8_t> bytes;
    explicit AiffBuilder(const char* form) {
        test::PutText(bytes, "FORM");
        test::PutBe32(bytes, 0);
        test::PutText(bytes, form);
    }
    // 80-bit extended 8000 or 44100 Hz (exponent 16395 and 16398).
    void Comm(unsigned channels, std::uint32_t frames, unsigned bits, bool rate44100 = false,
              const char* compression = nullptr, std::uint32_t size = 0) {
        test::PutText(bytes, "COMM");
        test::PutBe32(bytes, size != 0 ? size : (compression ? 24u : 18u));
        test::PutBe16(bytes, channels);
        test::PutBe32(bytes, frames);
        test::PutBe16(bytes, bits);
        const std::vector<int> rate = rate44100 ? std::vector<int>{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}
                                                : std::vector<int>{0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
        for (int b : rate) bytes.push_back(static_cast<std::uint8_t>(b));
        if (compression) {
            test::PutText(bytes, compression);
            test::PutBe16(bytes, 0);
        }
    }
    void Ssnd(const std::vector<std::uint8_t>& data, std::uint32_t offset = 0) {
        test::PutText(bytes, "SSND");
        test::PutBe32(bytes, static_cast<std::uint32_t>(8 + offset + data.size()));
        test::PutBe32(bytes, offset);
        test::PutBe32(bytes, 0);
        bytes.insert(bytes.end(), offset, 0xAA);
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (data.size() % 2 == 1) bytes.push_back(0x55);
    }
    void Chunk(const char* id, std::size_t size) {
        test::PutText(bytes, id);
        test::PutBe32(bytes, static_cast<std::uint32_t>(size));
        bytes.insert(bytes.end(), size + (size & 1), 0x77);
    }
};

class AiffHandBuiltTest : public ::testing::Test {
protected:
    bool Open(const AiffBuilder& b, CAiffAudioSource& src) {
        EXPECT_TRUE(test::WriteFileBytes(dir.File("h.aif"), b.bytes));
        return src.Open(dir.File("h.aif"), 0);
    }
    TempDir dir;
};

TEST_F(AiffHandBuiltTest, ExtendedRate) {
    const std::uint8_t r44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    const std::uint8_t r8000[10] = {0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
    const std::uint8_t r22050_5[10] = {0x40, 0x0D, 0xAC, 0x45, 0, 0, 0, 0, 0, 0};  // 22050.5
    const std::uint8_t negative[10] = {0xC0, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0};
    const std::uint8_t zero[10] = {};
    const std::uint8_t infinite[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ExtendedToDouble(r44100), 44100.0);
    EXPECT_EQ(ExtendedToDouble(r8000), 8000.0);
    EXPECT_EQ(ExtendedToDouble(r22050_5), 22050.5);
    EXPECT_EQ(ExtendedToDouble(negative), -8000.0);
    EXPECT_EQ(ExtendedToDouble(zero), 0.0);
    EXPECT_TRUE(std::isinf(ExtendedToDouble(infinite)));
}

TEST_F(AiffHandBuiltTest, EightBitSignedBecomesUnsigned) {
    AiffBuilder b("AIFF");
    b.Chunk("NAME", 5);  // odd-sized chunk before COMM, with its pad byte
    b.Comm(1, 5, 8, true);
    b.Ssnd({0x80, 0x00, 0x7F, 0xFF, 0x01});  // odd data: the pad byte is not a sample
    CAiffAudioSource src;
    ASSERT_TRUE(Open(b, src));
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetBitsPerSample(), 8);
    EXPECT_EQ(DecodeAll(src).left, (std::vector<int>{0, 128, 255, 127, 129}));
}

TEST_F(AiffHandBuiltTest, SoundBeforeCommonAndLowerCaseSowt) {
    AiffBuilder b("AIFC");
    std::vector<std::uint8_t> data;
    for (unsigned v : {0x1234u, 0xFFFEu, 0x8000u, 0x0001u}) test::PutLe16(data, v);
    b.Ssnd(data, 4);  // offset field: four bytes of block padding first
    b.Comm(2, 2, 16, false, "sowt");
    CAiffAudioSource src;
    ASSERT_TRUE(Open(b, src));
    EXPECT_EQ(src.GetPosition(), 12u + 8u + 8u + 4u);  // position starts at the data
    const DecodedAudio d = DecodeAll(src);
    EXPECT_EQ(d.left, (std::vector<int>{0x1234, -32768}));
    EXPECT_EQ(d.right, (std::vector<int>{-2, 1}));
}

TEST_F(AiffHandBuiltTest, RawAndTwentyFourBitLittleEndian) {
    {
        AiffBuilder b("AIFC");
        b.Comm(1, 3, 8, false, "raw ");
        b.Ssnd({0x00, 0x80, 0xFF});
        CAiffAudioSource src;
        ASSERT_TRUE(Open(b, src));
        EXPECT_EQ(DecodeAll(src).left, (std::vector<int>{0, 128, 255}));
    }
    {
        AiffBuilder b("AIFC");
        b.Comm(1, 2, 24, false, "23ni");
        b.Ssnd({0xFF, 0x34, 0x12, 0x00, 0x00, 0x80});
        CAiffAudioSource src;
        ASSERT_TRUE(Open(b, src));
        EXPECT_EQ(DecodeAll(src).left, (std::vector<int>{0x1234, -32768}));
    }
}

// A 12-bit DWVW stream worked out by hand (libsndfile writes no 12-bit DWVW):
// +5 (modifier +3, width 3), -7 (modifier 0), 0 (modifier -3, width 0), -63 (modifier +6).
TEST_F(AiffHandBuiltTest, Dwvw12) {
    AiffBuilder b("AIFC");
    b.Comm(1, 4, 12, false, "DWVW");
    b.Ssnd({0x12, 0xF1, 0x80, 0xFC});
    CAiffAudioSource src;
    ASSERT_TRUE(Open(b, src));
    EXPECT_EQ(DecodeAll(src).left, (std::vector<int>{5 << 4, -2 << 4, -2 << 4, -65 << 4}));
}

TEST_F(AiffHandBuiltTest, Refusals) {
    auto refused = [&](const AiffBuilder& b) {
        CAiffAudioSource src;
        const std::size_t fds = test::OpenDescriptors();
        const bool opened = Open(b, src);
        if (!opened) {
            EXPECT_EQ(test::OpenDescriptors(), fds);
        }
        EXPECT_EQ(src.GetSampleRate(), 0);
        EXPECT_EQ(src.GetLength(), 0u);
        std::vector<std::int16_t> l(kReadFrames), r(kReadFrames);
        EXPECT_EQ(src.Read(l.data(), r.data()), 0);
        return !opened;
    };
    const std::vector<std::uint8_t> data(64, 1);
    {
        AiffBuilder b("AIFF");  // a 20-byte COMM in plain AIFF
        b.Comm(1, 4, 16, false, nullptr, 20);
        b.bytes.insert(b.bytes.end(), {0, 0});
        b.Ssnd(data);
        EXPECT_TRUE(refused(b));
    }
    for (unsigned channels : {0u, 5u, 7u, 65535u}) {
        AiffBuilder b("AIFF");
        b.Comm(channels, 4, 16);
        b.Ssnd(data);
        EXPECT_TRUE(refused(b)) << channels;
    }
    for (unsigned bits : {0u, 33u, 64u}) {
        AiffBuilder b("AIFF");
        b.Comm(1, 4, bits);
        b.Ssnd(data);
        EXPECT_TRUE(refused(b)) << bits;
    }
    for (unsigned bits : {7u, 25u}) {
        AiffBuilder b("AIFC");
        b.Comm(1, 4, bits, false, "DWVW");
        b.Ssnd(data);
        EXPECT_TRUE(refused(b)) << bits;
    }
    {
        AiffBuilder b("AIFC");  // unknown compression
        b.Comm(1, 4, 16, false, "ACE2");
        b.Ssnd(data);
        EXPECT_TRUE(refused(b));
    }
    {
        AiffBuilder b("AIFC");  // GSM with three channels
        b.Comm(3, 4, 16, false, "GSM ");
        b.Ssnd(data);
        EXPECT_TRUE(refused(b));
    }
    {
        AiffBuilder b("AIFF");  // rate 0
        b.Comm(1, 4, 16);
        for (std::size_t i = b.bytes.size() - 10; i < b.bytes.size(); ++i) b.bytes[i] = 0;
        b.Ssnd(data);
        EXPECT_TRUE(refused(b));
    }
    {
        AiffBuilder b("AIFF");  // no SSND
        b.Comm(1, 4, 16);
        EXPECT_TRUE(refused(b));
    }
    {
        AiffBuilder b("AIFF");  // no COMM
        b.Ssnd(data);
        EXPECT_TRUE(refused(b));
    }
    {
        AiffBuilder b("WAVE");  // wrong form type
        b.Comm(1, 4, 16);
        b.Ssnd(data);
        EXPECT_TRUE(refused(b));
    }
    {
        AiffBuilder b("AIFF");  // SSND offset beyond its own chunk
        b.Comm(1, 4, 16);
        b.Ssnd(data);
        const std::size_t at = b.bytes.size() - data.size() - 8;
        b.bytes[at] = 0x10;
        EXPECT_TRUE(refused(b));
    }
}

// Sizes near 2^32 and truncated files: reading stops at the end of what is there.
TEST_F(AiffHandBuiltTest, HugeSizesAndTruncation) {
    {
        AiffBuilder b("AIFC");
        b.Comm(2, 0xFFFFFFFFu, 16, false, "NONE", 0xFFFFFFF0u);  // COMM claims nearly 4 GiB
        CAiffAudioSource src;
        EXPECT_FALSE(Open(b, src));
    }
    {
        AiffBuilder b("AIFF");
        b.Comm(2, 0xFFFFFFFFu, 16);
        b.Ssnd(std::vector<std::uint8_t>(10, 0x11));
        b.bytes[b.bytes.size() - 10 - 16 + 4] = 0xFF;  // SSND size 0xFFxxxxxx
        CAiffAudioSource src;
        ASSERT_TRUE(Open(b, src));
        const DecodedAudio d = DecodeAll(src);
        EXPECT_EQ(d.left.size(), 2u);
        EXPECT_EQ(d.left, (std::vector<int>{0x1111, 0x1111}));
    }
    // Every truncation of a valid IMA4, GSM and DWVW file opens or is refused, and never
    // delivers more than a block per call.
    std::vector<std::uint8_t> ima(34 * 2 * 3, 0x5A), gsm(33 * 3, 0xD0), dw(300, 0x96);
    for (auto [type, channels, bits, data] :
         {std::tuple{"ima4", 2u, 16u, ima}, std::tuple{"GSM ", 1u, 16u, gsm}, std::tuple{"DWVW", 2u, 24u, dw}}) {
        AiffBuilder b("AIFC");
        b.Comm(channels, 200, bits, false, type);
        b.Ssnd(data);
        for (std::size_t cut = 0; cut <= b.bytes.size(); cut += 7) {
            AiffBuilder t = b;
            t.bytes.resize(cut);
            CAiffAudioSource src;
            if (!Open(t, src)) continue;
            const DecodedAudio d = DecodeAll(src);
            EXPECT_FALSE(d.overlong);
            EXPECT_LE(d.left.size(), 400u);
        }
    }
}

// Format record: length is the file size, duration from COMM, bit rate from the file size.
TEST_F(AiffHandBuiltTest, FormatRecord) {
    ASSERT_EQ(RunCommand({"sox", "-R", "-n", "-r", "8000", "-c", "6", "-b", "16", dir.File("six.aiff"), "synth", "2.5",
                          "sine", "440"}),
              0);
    CAiffAudioSource src;
    ASSERT_TRUE(src.Open(dir.File("six.aiff"), 0));
    const std::uint64_t size = test::ReadFileBytes(dir.File("six.aiff")).size();
    EXPECT_EQ(src.GetLength(), size);
    EXPECT_EQ(src.GetChannels(), 6);
    EXPECT_EQ(src.GetOutputChannels(), 2);
    EXPECT_EQ(src.GetDuration(), 2);
    EXPECT_NEAR(src.GetBitRate(), static_cast<double>(size) / 312.5, 1.0);  // over the exact 2.5 s, not 2
    std::vector<std::int16_t> l(kReadFrames), r(kReadFrames);
    const std::uint64_t start = src.GetPosition();
    EXPECT_EQ(src.Read(l.data(), r.data()), kReadFrames);
    EXPECT_EQ(src.GetPosition(), start + 6u * 2u * kReadFrames);
    // Under a second: bits x channels x rate / 1000, with GSM's frame count from its data.
    AiffBuilder b("AIFC");
    b.Comm(1, 1, 16, false, "GSM ");
    std::vector<std::uint8_t> frames(33 * 10, 0);
    for (std::size_t i = 0; i < frames.size(); i += 33) frames[i] = 0xD0;  // libgsm's frame signature
    b.Ssnd(frames);
    ASSERT_TRUE(Open(b, src));
    EXPECT_EQ(src.GetDuration(), 0);
    EXPECT_EQ(src.GetBitRate(), 128);
    EXPECT_EQ(DecodeAll(src).left.size(), 1600u);
    src.Close();
    EXPECT_EQ(src.GetChannels(), 0);
    EXPECT_EQ(src.GetPosition(), 0u);
}

}  // namespace
}  // namespace tonvela
