// The WAV reader against sox's and ffmpeg's decodes of files they wrote, and against files built
// by hand for the cases no tool writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "audio/WavAudioSource.h"

namespace tonvela {
namespace {

using test::RunCommand;
using test::TempDir;

struct Decoded {
    std::vector<int> left;
    std::vector<int> right;
    int largestRead = 0;
    int reads = 0;
};

// Reads to the end; 8-bit samples are kept as their unsigned values.
Decoded ReadToEnd(CAudioSource& source) {
    Decoded d;
    std::vector<std::int16_t> l(kReadFrames), r(kReadFrames);
    const bool eight = source.GetBitsPerSample() == 8;
    const bool stereo = source.GetOutputChannels() == 2;
    for (int guard = 0; guard < 1000000; ++guard) {
        const int n = source.Read(l.data(), stereo ? r.data() : nullptr);
        if (n < 1) break;
        EXPECT_LE(n, kReadFrames);
        d.largestRead = std::max(d.largestRead, n);
        ++d.reads;
        for (int i = 0; i < n; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (eight) {
                d.left.push_back(reinterpret_cast<std::uint8_t*>(l.data())[k]);
                if (stereo) d.right.push_back(reinterpret_cast<std::uint8_t*>(r.data())[k]);
            } else {
                d.left.push_back(l[k]);
                if (stereo) d.right.push_back(r[k]);
            }
        }
    }
    return d;
}

// Channel c of interleaved reference samples.
template <typename T>
std::vector<int> Channel(const std::vector<T>& interleaved, int channels, int c) {
    std::vector<int> out;
    for (std::size_t i = static_cast<std::size_t>(c); i < interleaved.size(); i += static_cast<std::size_t>(channels))
        out.push_back(static_cast<int>(interleaved[i]));
    return out;
}

void ExpectSameSamples(const std::vector<int>& ours, const std::vector<int>& ref) {
    ASSERT_EQ(ours.size(), ref.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (ours[i] != ref[i] && ++mismatches <= 5) ADD_FAILURE() << "sample " << i << ": " << ours[i] << " vs " << ref[i];
    EXPECT_EQ(mismatches, 0u);
}

class WavAudioSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox") || !test::HaveTool("ffmpeg")) GTEST_SKIP() << "sox and ffmpeg are needed";
        // 1.3 s of two tones with a sweep, so the codecs meet large and small steps.
        ASSERT_EQ(RunCommand({"sox", "-n", "-r", "8000", "-c", "2", "-b", "16", Src(), "synth", "1.3", "sine",
                              "440", "sine", "200-3000", "gain", "-1"}),
                  0);
    }
    std::string Src() const { return dir_.File("src.wav"); }
    std::string Sox(const std::string& name, std::vector<std::string> args, std::vector<std::string> effects = {}) {
        const std::string out = dir_.File(name);
        std::vector<std::string> cmd = {"sox", Src()};
        cmd.insert(cmd.end(), args.begin(), args.end());
        cmd.push_back(out);
        cmd.insert(cmd.end(), effects.begin(), effects.end());
        EXPECT_EQ(RunCommand(cmd), 0) << name;
        return out;
    }
    std::string Ffmpeg(const std::string& name, std::vector<std::string> args) {
        const std::string out = dir_.File(name);
        std::vector<std::string> cmd = {"ffmpeg", "-v", "error", "-y", "-i", Src()};
        cmd.insert(cmd.end(), args.begin(), args.end());
        cmd.push_back(out);
        EXPECT_EQ(RunCommand(cmd), 0) << name;
        return out;
    }
    // The reference tool's decode of a file to interleaved signed 16-bit samples.
    std::vector<std::int16_t> SoxS16(const std::string& path) {
        const std::string raw = path + ".s16";
        EXPECT_EQ(RunCommand({"sox", path, "-t", "raw", "-e", "signed", "-b", "16", raw}), 0);
        return test::ReadS16le(raw);
    }
    std::vector<std::int16_t> FfmpegS16(const std::string& path) {
        const std::string raw = path + ".ff16";
        EXPECT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-f", "s16le", raw}), 0);
        return test::ReadS16le(raw);
    }
    // Appends a 3000-byte LIST chunk of non-silent bytes and corrects the RIFF size: the sound
    // ends where the data chunk's size says, not at the end of the file.
    static void AppendListChunk(const std::string& path) {
        const char* script =
            "import struct, sys\n"
            "p = sys.argv[1]; b = bytearray(open(p, 'rb').read())\n"
            "text = bytes((i * 7 + 1) % 256 for i in range(2988))\n"
            "b += b'LIST' + struct.pack('<I', 3000) + b'INFOICMT' + struct.pack('<I', len(text)) + text\n"
            "b[4:8] = struct.pack('<I', len(b) - 8)\n"
            "open(p, 'wb').write(b)\n";
        ASSERT_EQ(RunCommand({"python3", "-c", script, path}), 0);
    }
    void ExpectMatches(CWavAudioSource& wav, const std::vector<std::int16_t>& ref, int channels) {
        const Decoded d = ReadToEnd(wav);
        ExpectSameSamples(d.left, Channel(ref, channels, 0));
        if (channels >= 2) ExpectSameSamples(d.right, Channel(ref, channels, 1));
    }

    TempDir dir_;
};

// Formats where our rule and the reference decoders agree exactly. sox predicts MS ADPCM with a
// flooring shift where the format divides (truncating toward zero), so ffmpeg decodes those.
TEST_F(WavAudioSourceTest, ExactFormatsMatchTheReferenceDecode) {
    struct Case {
        const char* name;
        std::vector<std::string> soxArgs;
        int channels;
        int tag;
        bool ffmpegReference = false;
        bool chunkAfterData = false;  // a LIST chunk after the sound, as tagging tools append it
    };
    const std::vector<Case> cases = {
        {"pcm16.wav", {"-b", "16"}, 2, 1},
        {"pcm16list.wav", {"-b", "16"}, 2, 1, false, true},
        {"pcm16m.wav", {"-b", "16", "-c", "1"}, 1, 1},
        {"alaw.wav", {"-e", "a-law"}, 2, 6},
        {"alawm.wav", {"-e", "a-law", "-c", "1"}, 1, 6},
        {"ulaw.wav", {"-e", "u-law"}, 2, 7},
        {"ima.wav", {"-e", "ima-adpcm"}, 2, 17},
        {"imam.wav", {"-e", "ima-adpcm", "-c", "1"}, 1, 17},
        {"imalist.wav", {"-e", "ima-adpcm"}, 2, 17, false, true},
        {"ms.wav", {"-e", "ms-adpcm"}, 2, 2, true},
        {"msm.wav", {"-e", "ms-adpcm", "-c", "1"}, 1, 2, true},
        {"gsm.wav", {"-e", "gsm-full-rate", "-c", "1"}, 1, 49},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Sox(c.name, c.soxArgs);
        if (c.chunkAfterData) AppendListChunk(path);
        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(path, 0));
        EXPECT_EQ(wav.GetFormatTag(), c.tag);
        EXPECT_EQ(wav.GetChannels(), c.channels);
        EXPECT_EQ(wav.GetOutputChannels(), c.channels);
        EXPECT_EQ(wav.GetBitsPerSample(), 16);
        EXPECT_EQ(wav.GetSampleRate(), 8000);
        ExpectMatches(wav, c.ffmpegReference ? FfmpegS16(path) : SoxS16(path), c.channels);
    }
}

// ffmpeg's encoders choose other block sizes. Its MS ADPCM decoder is a second opinion; its IMA
// decoder rounds its steps more finely than the standard's shifted sum, so sox decodes those.
TEST_F(WavAudioSourceTest, FfmpegAdpcmFilesMatchTheReferenceDecode) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int channels;
        bool soxReference;
    };
    const std::vector<Case> cases = {
        {"ffima.wav", {"-c:a", "adpcm_ima_wav"}, 2, true},
        {"ffimam.wav", {"-c:a", "adpcm_ima_wav", "-ac", "1"}, 1, true},
        {"ffms.wav", {"-c:a", "adpcm_ms"}, 2, false},
        {"ffmsm.wav", {"-c:a", "adpcm_ms", "-ac", "1", "-block_size", "512"}, 1, false},
        {"ffulaw.wav", {"-c:a", "pcm_mulaw"}, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Ffmpeg(c.name, c.args);
        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(path, 0));
        const std::vector<std::int16_t> ref = c.soxReference ? SoxS16(path) : FfmpegS16(path);
        const Decoded d = ReadToEnd(wav);
        // ffmpeg also decodes the partial last block; we drop it.
        const std::vector<int> l = Channel(ref, c.channels, 0);
        ASSERT_LE(d.left.size(), l.size());
        ASSERT_GT(d.left.size(), l.size() / 2);
        ExpectSameSamples(d.left, std::vector<int>(l.begin(), l.begin() + static_cast<long>(d.left.size())));
        if (c.channels == 2) {
            const std::vector<int> r = Channel(ref, 2, 1);
            ExpectSameSamples(d.right, std::vector<int>(r.begin(), r.begin() + static_cast<long>(d.right.size())));
        }
    }
}

TEST_F(WavAudioSourceTest, MonoMsAdpcmWithLargeBlocksFillsWholeReads) {
    const std::string path = Ffmpeg("ms512.wav", {"-c:a", "adpcm_ms", "-ac", "1", "-block_size", "512"});
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(path, 0));
    std::vector<std::int16_t> l(kReadFrames);
    // 1012 samples per block: the first read takes a block and a part of the second.
    EXPECT_EQ(wav.Read(l.data(), nullptr), kReadFrames);
    EXPECT_EQ(wav.GetPosition(), 1024u);
    EXPECT_EQ(wav.Read(l.data(), nullptr), kReadFrames);
    EXPECT_EQ(wav.GetPosition(), 1536u);
}

// 24-bit and 32-bit deliver their upper 16 bits; the reference gives the full values.
TEST_F(WavAudioSourceTest, WideIntegersDeliverTheirUpperBits) {
    for (const char* bits : {"24", "32"}) {
        SCOPED_TRACE(bits);
        const std::string path = Sox(std::string("pcm") + bits + ".wav", {"-b", bits});
        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(path, 0));
        EXPECT_EQ(wav.GetBitsPerSample(), 16);
        const std::string raw = path + ".s32";
        ASSERT_EQ(RunCommand({"sox", path, "-t", "raw", "-e", "signed", "-b", "32", raw}), 0);
        std::vector<std::int32_t> ref = test::ReadS32le(raw);
        for (std::int32_t& v : ref) v >>= 16;
        ExpectMatches(wav, std::vector<std::int16_t>(ref.begin(), ref.end()), 2);
    }
}

// Floats: value x (2^31 - 1), truncated, upper 16 bits (so 0.5 gives 16383, not 16384).
int FloatRule(double v) {
    const double s = std::trunc(v * 2147483647.0);
    if (s >= 2147483647.0) return 32767;
    if (s <= -2147483648.0) return -32768;
    return static_cast<std::int32_t>(s) >> 16;
}

TEST_F(WavAudioSourceTest, FloatsFollowTheTruncatingRule) {
    struct Case {
        std::string path;
        int channels;
    };
    const std::vector<Case> cases = {
        {Sox("f32.wav", {"-e", "floating-point", "-b", "32"}), 2},
        {Sox("f64.wav", {"-e", "floating-point", "-b", "64"}), 2},
        {Sox("f32m.wav", {"-e", "floating-point", "-b", "32", "-c", "1"}), 1},
        // ffmpeg writes float as the extensible format with a float sub-format.
        {Ffmpeg("fext.wav", {"-c:a", "pcm_f32le"}), 2},
        {Ffmpeg("fext6.wav", {"-c:a", "pcm_f32le", "-ac", "6"}), 6},
        {Ffmpeg("fext64.wav", {"-c:a", "pcm_f64le"}), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(c.path, 0));
        EXPECT_EQ(wav.GetChannels(), c.channels);
        const std::string raw = c.path + ".f64";
        ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-i", c.path, "-f", "f64le", raw}), 0);
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(raw);
        std::vector<std::int16_t> ref(bytes.size() / 8);
        for (std::size_t i = 0; i < ref.size(); ++i) {
            double v = 0;
            std::memcpy(&v, bytes.data() + 8 * i, 8);
            ref[i] = static_cast<std::int16_t>(FloatRule(v));
        }
        ExpectMatches(wav, ref, c.channels);
    }
}

TEST_F(WavAudioSourceTest, EightBitStaysUnsigned) {
    for (const char* ch : {"1", "2"}) {
        const std::string path = Sox(std::string("u8_") + ch + ".wav", {"-b", "8", "-e", "unsigned", "-c", ch});
        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(path, 0));
        EXPECT_EQ(wav.GetBitsPerSample(), 8);
        const std::vector<std::uint8_t> ref = [&] {
            const std::string raw = path + ".u8";
            EXPECT_EQ(RunCommand({"sox", path, "-t", "raw", "-e", "unsigned", "-b", "8", raw}), 0);
            return test::ReadFileBytes(raw);
        }();
        const int channels = std::stoi(ch);
        const Decoded d = ReadToEnd(wav);
        ExpectSameSamples(d.left, Channel(ref, channels, 0));
        if (channels == 2) ExpectSameSamples(d.right, Channel(ref, channels, 1));
    }
}

TEST_F(WavAudioSourceTest, SixChannelsDeliverTheFirstPair) {
    for (const char* enc : {"signed-integer", "a-law"}) {
        SCOPED_TRACE(enc);
        const std::string path = Sox(std::string("six_") + enc + ".wav", {"-e", enc}, {"remix", "1", "2", "1v0.5", "2v0.3", "1v-1", "2v-0.7"});
        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(path, 0));
        EXPECT_EQ(wav.GetChannels(), 6);
        EXPECT_EQ(wav.GetOutputChannels(), 2);
        ExpectMatches(wav, SoxS16(path), 6);
    }
}

// Durations and bit rates from the header: frames / rate, bytes / (seconds x 125).
TEST_F(WavAudioSourceTest, FormatRecords) {
    const std::string pcm = dir_.File("long.wav");
    ASSERT_EQ(RunCommand({"sox", "-n", "-r", "8000", "-c", "2", "-b", "16", pcm, "synth", "2.5", "sine", "300"}), 0);
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(pcm, 0));
    EXPECT_EQ(wav.GetLength(), 80000u);
    EXPECT_EQ(wav.GetDuration(), 2);
    EXPECT_EQ(wav.GetBitRate(), 256);  // 80000 bytes over the exact 2.5 s
    EXPECT_EQ(wav.GetPosition(), 0u);

    // Under a second: bits x channels x rate / 1000.
    ASSERT_TRUE(wav.Open(Sox("short.wav", {"-c", "1"}, {"trim", "0", "0.5"}), 0));
    EXPECT_EQ(wav.GetDuration(), 0);
    EXPECT_EQ(wav.GetBitRate(), 128);

    // IMA: frames = bytes x samples per block / block align.
    const std::string ima = dir_.File("ima_long.wav");
    ASSERT_EQ(RunCommand({"sox", pcm, "-e", "ima-adpcm", ima}), 0);
    ASSERT_TRUE(wav.Open(ima, 0));
    EXPECT_EQ(wav.GetDuration(), 2);
    EXPECT_NEAR(wav.GetBitRate(), static_cast<double>(wav.GetLength()) / 312.5, 1.0);

    const std::string gsm = dir_.File("gsm_long.wav");
    ASSERT_EQ(RunCommand({"sox", pcm, "-c", "1", "-e", "gsm-full-rate", gsm}), 0);
    ASSERT_TRUE(wav.Open(gsm, 0));
    EXPECT_EQ(wav.GetDuration(), 2);
    EXPECT_NEAR(wav.GetBitRate(), static_cast<double>(wav.GetLength()) / 312.5, 1.0);  // about 13 kbit/s

    wav.Close();
    EXPECT_EQ(wav.GetLength(), 0u);
    EXPECT_EQ(wav.GetSampleRate(), 0);
    EXPECT_EQ(wav.Read(nullptr, nullptr), 0);
}

TEST_F(WavAudioSourceTest, ReadDataReturnsTheStoredBytes) {
    const std::string path = Sox("raw.wav", {"-b", "16", "-c", "1"});
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(path, 0));
    std::vector<std::uint8_t> got;
    std::vector<std::uint8_t> buf(1000);
    for (std::size_t n; (n = wav.ReadData(buf.data(), buf.size())) > 0;) got.insert(got.end(), buf.begin(), buf.begin() + static_cast<long>(n));
    const std::vector<std::uint8_t> file = test::ReadFileBytes(path);
    ASSERT_EQ(got.size(), wav.GetLength());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), file.end() - static_cast<long>(got.size())));
}

// ---- Files built by hand -------------------------------------------------------------------

std::vector<std::uint8_t> FmtChunk(unsigned tag, unsigned channels, std::uint32_t rate, unsigned blockAlign,
                                   unsigned bits, const std::vector<std::uint8_t>& extra = {}) {
    std::vector<std::uint8_t> v;
    test::PutText(v, "fmt ");
    test::PutLe32(v, static_cast<std::uint32_t>(16 + extra.size()));
    test::PutLe16(v, tag);
    test::PutLe16(v, channels);
    test::PutLe32(v, rate);
    test::PutLe32(v, rate * blockAlign);
    test::PutLe16(v, blockAlign);
    test::PutLe16(v, bits);
    v.insert(v.end(), extra.begin(), extra.end());
    return v;
}

std::vector<std::uint8_t> Riff(const std::vector<std::vector<std::uint8_t>>& chunks) {
    std::vector<std::uint8_t> v;
    test::PutText(v, "RIFF");
    test::PutLe32(v, 0);
    test::PutText(v, "WAVE");
    for (const auto& c : chunks) v.insert(v.end(), c.begin(), c.end());
    return v;
}

std::vector<std::uint8_t> DataChunk(const std::vector<std::uint8_t>& bytes, std::uint32_t sizeField) {
    std::vector<std::uint8_t> v;
    test::PutText(v, "data");
    test::PutLe32(v, sizeField);
    v.insert(v.end(), bytes.begin(), bytes.end());
    return v;
}

std::vector<std::uint8_t> Samples16(int count) {
    std::vector<std::uint8_t> v;
    for (int i = 0; i < count; ++i) test::PutLe16(v, static_cast<unsigned>(static_cast<std::uint16_t>(i * 37 - 900)));
    return v;
}

TEST(WavHandBuiltTest, OddChunksBeforeFmtAndDataSizeZero) {
    TempDir dir;
    std::vector<std::uint8_t> list;
    test::PutText(list, "LIST");
    test::PutLe32(list, 3);
    list.insert(list.end(), {'a', 'b', 'c', 0});  // pad byte
    std::vector<std::uint8_t> junk;  // odd chunk whose writer forgot the pad byte
    test::PutText(junk, "junk");
    test::PutLe32(junk, 5);
    junk.insert(junk.end(), {1, 2, 3, 4, 5});
    const std::vector<std::uint8_t> samples = Samples16(3000);
    const std::string path = dir.File("odd.wav");
    ASSERT_TRUE(test::WriteFileBytes(path, Riff({list, junk, FmtChunk(1, 1, 8000, 2, 16), DataChunk(samples, 0)})));
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(path, 0));
    EXPECT_EQ(wav.GetLength(), samples.size());  // size 0: to the end of the file
    const Decoded d = ReadToEnd(wav);
    ASSERT_EQ(d.left.size(), 3000u);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(d.left[static_cast<std::size_t>(i)], static_cast<std::int16_t>(i * 37 - 900));
    EXPECT_EQ(d.largestRead, kReadFrames);
}

TEST(WavHandBuiltTest, DataShorterThanItsHeaderEndsEarly) {
    TempDir dir;
    const std::string path = dir.File("short.wav");
    ASSERT_TRUE(test::WriteFileBytes(path, Riff({FmtChunk(1, 2, 8000, 4, 16), DataChunk(Samples16(101), 0xFFFFFFF0u)})));
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(path, 0));
    EXPECT_EQ(wav.GetLength(), 0xFFFFFFF0u);
    EXPECT_EQ(wav.GetDuration(), static_cast<int>(0xFFFFFFF0ull / 4 / 8000));
    const Decoded d = ReadToEnd(wav);
    EXPECT_EQ(d.left.size(), 50u);  // the odd last sample makes no frame
}

TEST(WavHandBuiltTest, OutOfRangeFloatsSaturate) {
    TempDir dir;
    std::vector<std::uint8_t> data;
    for (float f : {1.5f, -1.5f, 1.0f, -1.0f, 0.5f, -0.25f}) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        test::PutLe32(data, bits);
    }
    const std::string path = dir.File("loud.wav");
    ASSERT_TRUE(test::WriteFileBytes(path, Riff({FmtChunk(3, 1, 8000, 4, 32), DataChunk(data, 24)})));
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(path, 0));
    const Decoded d = ReadToEnd(wav);
    EXPECT_EQ(d.left, (std::vector<int>{32767, -32768, 32767, -32768, 16383, -8192}));
}

TEST(WavHandBuiltTest, RefusedHeaders) {
    TempDir dir;
    const std::vector<std::uint8_t> data = DataChunk(Samples16(100), 200);
    std::vector<std::uint8_t> gsmExtra, msExtra3, imaTooMany, msFewCoefs;
    test::PutLe16(gsmExtra, 2);
    test::PutLe16(gsmExtra, 160);
    test::PutLe16(msExtra3, 4);
    test::PutLe16(msExtra3, 500);
    test::PutLe16(msExtra3, 0);  // no coefficients
    test::PutLe16(imaTooMany, 2);
    test::PutLe16(imaTooMany, 506);  // a 256-byte mono block holds 505
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> notRiff = Riff({FmtChunk(1, 1, 8000, 2, 16), data});
    notRiff[0] = 'X';
    std::vector<std::uint8_t> truncated = Riff({FmtChunk(1, 1, 8000, 2, 16)});
    truncated.resize(30);
    const std::vector<Case> cases = {
        {"nine channels", Riff({FmtChunk(1, 9, 8000, 18, 16), data})},
        {"12-bit", Riff({FmtChunk(1, 1, 8000, 2, 12), data})},
        {"no channels", Riff({FmtChunk(6, 0, 8000, 1, 8), data})},
        {"rate 0", Riff({FmtChunk(1, 1, 0, 2, 16), data})},
        {"data before fmt", Riff({data, FmtChunk(1, 1, 8000, 2, 16)})},
        {"no data", Riff({FmtChunk(1, 1, 8000, 2, 16)})},
        {"not RIFF", notRiff},
        {"truncated fmt", truncated},
        {"tag 85", Riff({FmtChunk(85, 1, 8000, 1, 0), data})},
        {"float 16-bit", Riff({FmtChunk(3, 1, 8000, 2, 16), data})},
        {"gsm 160 per block", Riff({FmtChunk(49, 1, 8000, 65, 0, gsmExtra), data})},
        {"gsm three channels", Riff({FmtChunk(49, 3, 8000, 65, 0, {2, 0, 0x40, 1}), data})},
        {"ms adpcm no coefficients", Riff({FmtChunk(2, 1, 8000, 256, 4, msExtra3), data})},
        {"ima more samples than codes", Riff({FmtChunk(17, 1, 8000, 256, 4, imaTooMany), data})},
        {"ima three channels", Riff({FmtChunk(17, 3, 8000, 256 * 3, 4, {2, 0, 0xF9, 1}), data})},
        {"ima block align 0", Riff({FmtChunk(17, 1, 8000, 0, 4, {2, 0, 1, 0}), data})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("bad.wav");
        ASSERT_TRUE(test::WriteFileBytes(path, c.bytes));
        CWavAudioSource wav;
        EXPECT_FALSE(wav.Open(path, 0));
        EXPECT_EQ(wav.GetChannels(), 0);
        EXPECT_EQ(wav.GetLength(), 0u);
        std::int16_t buf[kReadFrames * 2];
        EXPECT_EQ(wav.Read(buf, buf + kReadFrames), 0);
    }
    CWavAudioSource wav;
    EXPECT_FALSE(wav.Open(dir.File("missing.wav"), 0));
}

// A predictor index beyond the coefficient table ends the audio at that block.
TEST_F(WavAudioSourceTest, BadMsAdpcmPredictorEndsTheAudio) {
    const std::string path = Sox("msbad.wav", {"-e", "ms-adpcm", "-c", "1"});
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
    CWavAudioSource probe;
    ASSERT_TRUE(probe.Open(path, 0));
    const std::size_t dataStart = bytes.size() - probe.GetLength();
    probe.Close();
    const std::size_t blockAlign = bytes[12 + 8 + 12] | (bytes[12 + 8 + 13] << 8);
    bytes[dataStart + 2 * blockAlign] = 7;  // third block; sox writes the 7 standard pairs
    ASSERT_TRUE(test::WriteFileBytes(path, bytes));
    CWavAudioSource wav;
    ASSERT_TRUE(wav.Open(path, 0));
    const Decoded d = ReadToEnd(wav);
    const std::size_t perBlock = static_cast<std::size_t>(wav.GetLength() > 0 ? (blockAlign - 7) * 2 + 2 : 0);
    EXPECT_EQ(d.left.size(), 2 * perBlock);
}

// Every prefix of a valid file either fails to open or reads to a clean end.
TEST_F(WavAudioSourceTest, TruncatedFilesStayInBounds) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-e", "ms-adpcm"}, {"-e", "ima-adpcm"}, {"-e", "gsm-full-rate", "-c", "1"}, {"-b", "24"}}) {
        const std::vector<std::uint8_t> full = test::ReadFileBytes(Sox("t.wav", args));
        for (std::size_t cut = 0; cut < full.size(); cut += cut < 200 ? 1 : 397) {
            const std::string path = dir_.File("cut.wav");
            ASSERT_TRUE(test::WriteFileBytes(path, std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<long>(cut))));
            CWavAudioSource wav;
            if (wav.Open(path, 0)) ReadToEnd(wav);
        }
    }
}

}  // namespace
}  // namespace tonvela
