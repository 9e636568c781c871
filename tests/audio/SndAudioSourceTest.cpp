// The NeXT/Sun reader against files written by libsndfile and ffmpeg, decoded by sox and
// ffmpeg, and against headers built by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AiffSndTestUtil.h"
#include "audio/SndAudioSource.h"

namespace tonvela {
namespace {

using test::DecodeAll;
using test::DecodedAudio;
using test::RunCommand;
using test::TempDir;

class SndAudioSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox") || !test::HaveTool("sndfile-convert") || !test::HaveTool("ffmpeg"))
            GTEST_SKIP() << "sox, ffmpeg and sndfile-convert are needed";
        ASSERT_TRUE(test::MakeSignal(dir.File("mono.wav"), 8000, 1, 0.7));
        ASSERT_TRUE(test::MakeSignal(dir.File("stereo.wav"), 11025, 2, 0.6));
    }

    // libsndfile writes the .au file; returns its path.
    std::string Convert(const std::string& input, const std::string& encoding, const std::string& name,
                        bool little = false) {
        std::vector<std::string> args = {"sndfile-convert"};
        if (little) args.push_back("-endian=little");
        args.push_back(encoding);
        args.push_back(dir.File(input));
        args.push_back(dir.File(name));
        EXPECT_EQ(RunCommand(args), 0) << encoding;
        return dir.File(name);
    }

    // Decodes with our reader and checks it against interleaved reference values.
    template <typename T>
    void ExpectDecode(const std::string& path, int channels, const std::vector<T>& reference) {
        CSndAudioSource src;
        ASSERT_TRUE(src.Open(path, 0)) << path;
        EXPECT_EQ(src.GetChannels(), channels);
        EXPECT_EQ(src.GetOutputChannels(), channels);
        EXPECT_EQ(src.GetBitsPerSample(), 16);
        const DecodedAudio got = DecodeAll(src);
        EXPECT_FALSE(got.overlong);
        for (int c = 0; c < channels; ++c) {
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

    TempDir dir;
};

// 16-bit, 8-bit and G.711 data: our decode equals sox's, sample by sample.
TEST_F(SndAudioSourceTest, ExactEncodingsMatchSox) {
    struct Case {
        const char* encoding;
        int code;
    };
    for (const Case& c : {Case{"-pcm16", 3}, Case{"-pcms8", 2}, Case{"-ulaw", 1}, Case{"-alaw", 27}}) {
        for (const char* input : {"mono.wav", "stereo.wav"}) {
          for (bool little : {false, true}) {
            SCOPED_TRACE(std::string(c.encoding) + " " + input + (little ? " little" : " big"));
            const int channels = std::string(input) == "mono.wav" ? 1 : 2;
            const std::string au =
                Convert(input, c.encoding, std::string("x") + c.encoding + input + (little ? "le" : "be") + ".au", little);
            EXPECT_EQ(test::ReadFileBytes(au)[little ? 12 : 15], c.code);
            ASSERT_TRUE(test::SoxDecode(au, au + ".s16", 16));
            ExpectDecode(au, channels, test::ReadS16le(au + ".s16"));
          }
        }
    }
}

// 24- and 32-bit data keep the top two bytes (truncation, where sox would round).
TEST_F(SndAudioSourceTest, WideIntegersKeepTheTopSixteenBits) {
    for (const char* encoding : {"-pcm24", "-pcm32"}) {
        for (bool little : {false, true}) {
            SCOPED_TRACE(std::string(encoding) + (little ? " little" : " big"));
            const std::string au = Convert("stereo.wav", encoding, std::string("w") + encoding + (little ? "le" : "be") + ".au", little);
            ASSERT_TRUE(test::SoxDecode(au, au + ".s32", 32));
            std::vector<int> want;
            for (std::int32_t v : test::ReadS32le(au + ".s32")) want.push_back(v >> 16);
            ExpectDecode(au, 2, want);
        }
    }
}

// Float data: value x 2147483647, truncated, shifted right by 16, from ffmpeg's float decode.
TEST_F(SndAudioSourceTest, FloatsFollowTheTruncatingRule) {
    for (bool little : {false, true}) {
        SCOPED_TRACE(little ? "little" : "big");
        // ffmpeg reads only big-endian floats; the little-endian twin holds the same values.
        const std::string f32be = Convert("stereo.wav", "-float32", "fbe.au");
        const std::string f64be = Convert("mono.wav", "-float64", "dbe.au");
        ASSERT_TRUE(test::FfmpegDecode(f32be, f32be + ".f32", "f32le"));
        ASSERT_TRUE(test::FfmpegDecode(f64be, f64be + ".f64", "f64le"));
        std::vector<int> want32, want64;
        for (double v : test::ReadF32le(f32be + ".f32")) want32.push_back(test::FloatRule(v));
        for (double v : test::ReadF64le(f64be + ".f64")) want64.push_back(test::FloatRule(v));
        const std::string f32 = little ? Convert("stereo.wav", "-float32", "fle.au", true) : f32be;
        const std::string f64 = little ? Convert("mono.wav", "-float64", "dle.au", true) : f64be;
        ExpectDecode(f32, 2, want32);
        ExpectDecode(f64, 1, want64);
    }
}

// Little-endian files ("dns." magic) decode like their big-endian twins.
TEST_F(SndAudioSourceTest, LittleEndianMagic) {
    const std::string le = Convert("stereo.wav", "-pcm16", "le16.au", true);
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(le);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "dns.");
    ASSERT_TRUE(test::SoxDecode(le, le + ".s16", 16));
    ExpectDecode(le, 2, test::ReadS16le(le + ".s16"));
}

// G.721 and G.723 (24 and 40 kbit/s), written by ffmpeg's G.726 encoder and decoded by sox.
// ffmpeg labels every rate as encoding 23, so the 24 and 40 kbit/s headers are corrected here.
TEST_F(SndAudioSourceTest, G72xMatchesSox) {
    struct Case {
        const char* bitrate;
        std::uint8_t code;
    };
    for (const Case& c : {Case{"32k", 23}, Case{"24k", 25}, Case{"40k", 26}}) {
        SCOPED_TRACE(c.bitrate);
        const std::string au = dir.File(std::string("g") + c.bitrate + ".au");
        ASSERT_EQ(RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", dir.File("mono.wav"), "-af",
                              "volume=-6dB", "-c:a", "adpcm_g726le", "-b:a", c.bitrate, au}),
                  0);
        std::vector<std::uint8_t> bytes = test::ReadFileBytes(au);
        ASSERT_GT(bytes.size(), 24u);
        ASSERT_EQ(bytes[15], 23);
        bytes[15] = c.code;
        ASSERT_TRUE(test::WriteFileBytes(au, bytes));
        ASSERT_TRUE(test::SoxDecode(au, au + ".s16", 16));
        // sox lets a reconstruction beyond 16 bits wrap around; we hold it at full scale.
        std::vector<int> want;
        for (std::int16_t v : test::ReadS16le(au + ".s16")) want.push_back(v);
        CSndAudioSource src;
        ASSERT_TRUE(src.Open(au, 0));
        const std::vector<int> have = DecodeAll(src).left;
        ASSERT_EQ(have.size(), want.size());
        std::size_t exact = 0;
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (have[i] == want[i]) {
                ++exact;
                continue;
            }
            EXPECT_TRUE(have[i] == 32767 || have[i] == -32768) << i << ": " << have[i] << " vs " << want[i];
        }
        EXPECT_GT(exact, want.size() * 98 / 100);
    }
}

// Header built by hand: six 32-bit fields, an annotation, then the samples.
std::vector<std::uint8_t> SndHeader(std::uint32_t magic, bool big, std::uint32_t offset, std::uint32_t size,
                                    std::uint32_t encoding, std::uint32_t rate, std::uint32_t channels) {
    std::vector<std::uint8_t> v;
    test::PutBe32(v, magic);
    for (std::uint32_t f : {offset, size, encoding, rate, channels}) (big ? test::PutBe32 : test::PutLe32)(v, f);
    while (v.size() < offset) v.push_back(0);
    return v;
}

TEST_F(SndAudioSourceTest, HandBuiltHeaders) {
    const std::string path = dir.File("hand.snd");
    auto open = [&](const std::vector<std::uint8_t>& bytes, CSndAudioSource& src) {
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return src.Open(path, 0);
    };
    {
        // The ".sd\0" magic, big-endian; an 8-bit sample -1 is -256; rate 500 becomes 8000.
        auto v = SndHeader(0x2E736400u, true, 32, 4, 2, 500, 1);
        for (int b : {0xFF, 0x7F, 0x80, 0x01}) v.push_back(static_cast<std::uint8_t>(b));
        CSndAudioSource src;
        ASSERT_TRUE(open(v, src));
        EXPECT_EQ(src.GetSampleRate(), 8000);
        const DecodedAudio d = DecodeAll(src);
        EXPECT_EQ(d.left, (std::vector<int>{-256, 32512, -32768, 256}));
    }
    {
        // "\0ds." little-endian magic, 4 channels read as one, 16-bit.
        auto v = SndHeader(0x0064732Eu, false, 24, 8, 3, 22050, 4);
        test::PutLe16(v, 1000);
        test::PutLe16(v, 0xFFFF);
        test::PutLe16(v, 3);
        test::PutLe16(v, 0x8000);
        CSndAudioSource src;
        ASSERT_TRUE(open(v, src));
        EXPECT_EQ(src.GetChannels(), 1);
        EXPECT_EQ(src.GetSampleRate(), 22050);
        EXPECT_EQ(DecodeAll(src).left, (std::vector<int>{1000, -1, 3, -32768}));
    }
    {
        // Unknown data size (0xFFFFFFFF) plays to the end of the file.
        auto v = SndHeader(0x2E736E64u, true, 28, 0xFFFFFFFFu, 1, 8000, 1);
        for (int i = 0; i < 10; ++i) v.push_back(0x80);
        CSndAudioSource src;
        ASSERT_TRUE(open(v, src));
        EXPECT_EQ(src.GetLength(), 10u);
        EXPECT_EQ(DecodeAll(src).left, std::vector<int>(10, 32124));
    }
    {
        // A data size past the end of the file ends at the end of the file.
        auto v = SndHeader(0x2E736E64u, true, 24, 1000000, 3, 8000, 2);
        for (int i = 0; i < 7; ++i) test::PutBe16(v, static_cast<unsigned>(i));
        CSndAudioSource src;
        ASSERT_TRUE(open(v, src));
        const DecodedAudio d = DecodeAll(src);
        EXPECT_EQ(d.left, (std::vector<int>{0, 2, 4}));
        EXPECT_EQ(d.right, (std::vector<int>{1, 3, 5}));
    }
    {
        // Encoding field unusable: the search finds 3 at byte 15, with rate and channels after it.
        std::vector<std::uint8_t> v;
        test::PutBe32(v, 0x2E736E64u);
        test::PutBe32(v, 40);
        test::PutBe32(v, 4);
        v.insert(v.end(), {0xFF, 0xFF, 0xFF});
        test::PutBe32(v, 3);
        test::PutBe32(v, 16000);
        test::PutBe32(v, 1);
        while (v.size() < 40) v.push_back(0);
        test::PutBe16(v, 0x1234);
        test::PutBe16(v, 0xFEDC);
        CSndAudioSource src;
        ASSERT_TRUE(open(v, src));
        EXPECT_EQ(src.GetSampleRate(), 16000);
        EXPECT_EQ(DecodeAll(src).left, (std::vector<int>{0x1234, -292}));
    }
    // Refusals: encoding 24, data offset below 24, unknown magic, short header.
    for (const auto& bad : {SndHeader(0x2E736E64u, true, 24, 0, 24, 8000, 1), SndHeader(0x2E736E64u, true, 16, 0, 3, 8000, 1),
                            SndHeader(0x2E736E65u, true, 24, 0, 3, 8000, 1),
                            std::vector<std::uint8_t>{0x2E, 0x73, 0x6E, 0x64, 0, 0, 0, 24}}) {
        CSndAudioSource src;
        const std::size_t fds = test::OpenDescriptors();
        EXPECT_FALSE(open(bad, src));
        EXPECT_EQ(test::OpenDescriptors(), fds);
        EXPECT_EQ(src.GetSampleRate(), 0);
        EXPECT_EQ(src.Read(nullptr, nullptr), 0);
    }
    CSndAudioSource missing;
    EXPECT_FALSE(missing.Open(dir.File("no-such.au"), 0));
    EXPECT_FALSE(missing.Open(dir.Path().string(), 0));
}

// Opening again, mid-file, starts the ADPCM state and bit reservoir afresh.
TEST_F(SndAudioSourceTest, ReopenRestartsTheDecoder) {
    const std::string au = dir.File("re.au");
    ASSERT_EQ(RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", dir.File("mono.wav"), "-c:a",
                          "adpcm_g726le", "-b:a", "24k", au}),
              0);
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(au);
    bytes[15] = 25;
    ASSERT_TRUE(test::WriteFileBytes(au, bytes));
    CSndAudioSource fresh;
    ASSERT_TRUE(fresh.Open(au, 0));
    const std::vector<int> want = DecodeAll(fresh).left;
    CSndAudioSource reused;
    ASSERT_TRUE(reused.Open(au, 0));
    std::vector<std::int16_t> l(kReadFrames);
    ASSERT_GT(reused.Read(l.data(), nullptr), 0);
    ASSERT_TRUE(reused.Open(au, 0));
    EXPECT_EQ(DecodeAll(reused).left, want);
}

// Format record: duration, bit rate, length and position of a 16-bit stereo file.
TEST_F(SndAudioSourceTest, FormatRecord) {
    // 2.6 s of 8000 Hz stereo 16-bit: 83200 bytes, 2 s, 83200 / 250 = 332 kbit/s.
    ASSERT_EQ(RunCommand({"sox", "-R", "-n", "-r", "8000", "-c", "2", "-b", "16", "-e", "signed", dir.File("f.au"),
                          "synth", "2.6", "sine", "440"}),
              0);
    CSndAudioSource src;
    ASSERT_TRUE(src.Open(dir.File("f.au"), 0));
    EXPECT_EQ(src.GetLength(), 83200u);
    EXPECT_EQ(src.GetDuration(), 2);
    EXPECT_EQ(src.GetBitRate(), 256);  // 83200 bytes over the exact 2.6 s, not 2
    EXPECT_EQ(src.GetSampleRate(), 8000);
    EXPECT_EQ(src.GetPosition(), 0u);
    std::vector<std::int16_t> l(kReadFrames), r(kReadFrames);
    EXPECT_EQ(src.Read(l.data(), r.data()), kReadFrames);
    EXPECT_EQ(src.GetPosition(), 4608u);
    // Below one second the bit rate comes from bits x channels x rate: G.721 at 8000 Hz.
    ASSERT_EQ(RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", dir.File("mono.wav"), "-c:a",
                          "adpcm_g726le", "-b:a", "32k", dir.File("g.au")}),
              0);
    ASSERT_TRUE(src.Open(dir.File("g.au"), 0));
    EXPECT_EQ(src.GetDuration(), 0);
    EXPECT_EQ(src.GetBitRate(), 32);
    src.Close();
    EXPECT_EQ(src.GetSampleRate(), 0);
    EXPECT_EQ(src.GetLength(), 0u);
}

}  // namespace
}  // namespace tonvela
