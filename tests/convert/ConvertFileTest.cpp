// Per-file conversion: sample counts of trimming and duration mode worked out by hand, the
// encoded sound checked by ffmpeg's decode, progress and cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/ConvertFile.h"
#include "convert/ConvertOptions.h"
#include "convert/ConvertTestUtil.h"

namespace tonvela {
namespace {

using test::RunCommand;
using test::TempDir;

// Records what the conversion shows; cancels after a number of event calls when asked.
class CRecordingProgress : public CConvertProgress {
public:
    void SetFileText(const std::string& t) override { texts.push_back(t); }
    int FileBarWidth() const override { return 300; }
    void SetFileBarRange(int m) override { range = m; }
    void SetFileBarPos(int p) override { positions.push_back(p); }
    void ShowBatch(const BatchProgressView&) override {}
    void ProcessEvents() override { ++events; }
    bool IsCancelled() const override { return cancelAfter >= 0 && events > cancelAfter; }

    std::vector<std::string> texts;
    std::vector<int> positions;
    int range = 0;
    int events = 0;
    int cancelAfter = -1;
};

class ConvertFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox") || !test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs sox and ffmpeg";
    }
    // A sine made by sox: rate Hz, channels, bits, seconds.
    std::string Sine(const std::string& name, int rate, int channels, int bits, double seconds, int freq = 440,
                     double gainDb = -6) {
        const std::string path = dir.File(name);
        EXPECT_EQ(RunCommand({"sox", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels), "-b",
                              std::to_string(bits), path, "synth", std::to_string(seconds), "sine",
                              std::to_string(freq), "gain", std::to_string(gainDb)}),
                  0);
        return path;
    }
    bool Convert(const std::string& path, ConvertResult& result, CRecordingProgress* progress = nullptr) {
        CRecordingProgress local;
        return ConvertFile(AudioKindFromPath(path), path, mp3, progress ? *progress : local, options, result);
    }
    std::vector<std::int16_t> DecodedMp3(int rate = 0) { return test::DecodeWithFfmpeg(mp3, dir.File("out.raw"), rate); }

    TempDir dir;
    std::string mp3 = dir.File("out.mp3");
    CConvertOptions options{std::filesystem::path(TONVELA_DATA_DIR)};
};

// The two channels of a file as ffmpeg decodes them to 16-bit stereo.
std::array<std::vector<std::int16_t>, 2> StereoS16(const std::string& path, const std::string& rawPath) {
    std::array<std::vector<std::int16_t>, 2> channels;
    if (RunCommand({"ffmpeg", "-v", "error", "-y", "-i", path, "-ac", "2", "-f", "s16le", "-acodec", "pcm_s16le", rawPath}) != 0)
        return channels;
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(rawPath);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        channels[(i / 2) % 2].push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return channels;
}

// Normalised correlation of a[aFrom ..] and b[bFrom ..] over length samples.
double Correlation(const std::vector<std::int16_t>& a, std::size_t aFrom, const std::vector<std::int16_t>& b,
                   std::size_t bFrom, std::size_t length) {
    if (aFrom + length > a.size() || bFrom + length > b.size()) return 0;
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const double x = a[aFrom + i], y = b[bFrom + i];
        ab += x * y, aa += x * x, bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// The decoded MP3 holds the encoded samples plus the encoder's delay and at most the padding
// of its last frame.
void ExpectDecodedLength(const std::vector<std::int16_t>& decoded, std::uint32_t outputSamples) {
    EXPECT_GE(decoded.size(), outputSamples);
    EXPECT_LE(decoded.size(), outputSamples + 576 + 529 + 2 * 1152);
}

TEST_F(ConvertFileTest, WholeFileKeepsLengthAndPitch) {
    const std::string wav = Sine("a.wav", 44100, 2, 16, 2.0, 440);
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_EQ(r.outputSamples, 88200u);
    EXPECT_EQ(r.convertedSeconds, 2u);
    EXPECT_EQ(r.encoderDelay, 576u);
    const auto decoded = DecodedMp3();
    ExpectDecodedLength(decoded, r.outputSamples);
    EXPECT_NEAR(test::DominantFrequency(decoded, 44100), 440.0, 2.0);
    // The file starts with an MPEG audio frame: no tag, no Info frame.
    const auto bytes = test::ReadFileBytes(mp3);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1] & 0xE0, 0xE0);
}

TEST_F(ConvertFileTest, SkipFirstHalfSecondRemoves22050Samples) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 2.0);
    options.SkipFirstMs = 500;
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_EQ(r.outputSamples, 88200u - 22050u);
    EXPECT_EQ(r.convertedSeconds, 1u);
    ExpectDecodedLength(DecodedMp3(), r.outputSamples);
}

// Which samples trimming keeps: a second of stereo noise, different in each channel and below
// 10 kHz (so the encoder keeps it), so that any stretch of it is found in the decoded MP3 at
// exactly one shift. Every kept stretch must sit
// at the codec's delay (LAME's 576 plus the decoder's 529): a start read from the wrong place
// moves it, an end cut wrongly changes the count.
TEST_F(ConvertFileTest, SkipLastAndBothEnds) {
    const std::string wav = dir.File("noise.wav");
    ASSERT_EQ(RunCommand({"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "1", "whitenoise",
                          "whitenoise", "sinc", "-10k", "gain", "-6"}),
              0);
    const auto source = StereoS16(wav, dir.File("noise.raw"));
    ASSERT_EQ(source[0].size(), 44100u);
    ASSERT_LT(std::abs(Correlation(source[0], 0, source[1], 0, 4096)), 0.1) << "the channels must differ";
    struct Case {
        int skipFirst, skipLast;
        std::size_t keptFrom, kept;  // samples, worked out by hand (1 ms = 44.1 -> 44)
    };
    const Case cases[] = {
        {0, 0, 0, 44100},        {1, 0, 44, 44056},  {0, 1, 0, 44056},         {1, 1, 44, 44012},
        {250, 100, 11025, 28665}, {500, 0, 22050, 22050}, {0, 995, 0, 221}, {995, 0, 43879, 221},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("skip first " + std::to_string(c.skipFirst) + " ms, last " + std::to_string(c.skipLast) + " ms");
        options.SkipFirstMs = c.skipFirst;
        options.SkipLastMs = c.skipLast;
        ConvertResult r;
        ASSERT_TRUE(Convert(wav, r));
        EXPECT_EQ(r.outputSamples, c.kept);
        const auto decoded = StereoS16(mp3, dir.File("out.raw"));
        ASSERT_EQ(decoded[1].size(), decoded[0].size());
        ExpectDecodedLength(decoded[0], r.outputSamples);
        const std::size_t delay = r.encoderDelay + 529, window = std::min<std::size_t>(c.kept, 1024);
        for (int ch = 0; ch < 2; ++ch) {
            const auto& in = source[static_cast<std::size_t>(ch)];
            const auto& out = decoded[static_cast<std::size_t>(ch)];
            // The first and the last samples kept, each found where they belong.
            for (const std::size_t at : {std::size_t{0}, c.kept - window}) {
                SCOPED_TRACE("channel " + std::to_string(ch) + ", kept sample " + std::to_string(at));
                std::size_t best = 0;
                double bestCorrelation = -1;
                for (std::size_t shift = 0; shift <= 3000 && shift + at + window <= out.size(); ++shift) {
                    const double k = Correlation(out, shift + at, in, c.keptFrom + at, window);
                    if (k > bestCorrelation) bestCorrelation = k, best = shift;
                }
                EXPECT_EQ(best, delay);
                EXPECT_GT(bestCorrelation, 0.8);
            }
        }
    }
}

TEST_F(ConvertFileTest, DurationModeReadsWholeBlocks) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 3.0);
    options.TrimLastType = 1;
    options.ConvertDuration = 1000;
    options.SkipLastMs = 500;  // not applied in duration mode
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    // Reading stops after the block that reaches 44100 samples: 39 blocks of 1152.
    EXPECT_EQ(r.outputSamples, 39u * 1152u);
    EXPECT_EQ(r.outputSamples, 44928u);
    EXPECT_EQ(r.convertedSeconds, 1u);
    ExpectDecodedLength(DecodedMp3(), r.outputSamples);
}

TEST_F(ConvertFileTest, DurationModeAfterSkippedStart) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 3.0);
    options.TrimLastType = 1;
    options.ConvertDuration = 1000;
    options.SkipFirstMs = 500;
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    // Limit 66150 samples: 58 blocks (66816) are read, 22050 are skipped.
    EXPECT_EQ(r.outputSamples, 58u * 1152u - 22050u);
}

TEST_F(ConvertFileTest, DurationZeroConvertsWholeFileAndIgnoresSkipLast) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 1.5);
    options.TrimLastType = 1;
    options.ConvertDuration = 0;
    options.SkipLastMs = 500;
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_EQ(r.outputSamples, 66150u);
}

// A length the container does not know (FLAC written to a pipe) or states wrongly (stereo IMA4
// AIFF-C from libsndfile claims half its packets) must not cut the sound short.
TEST_F(ConvertFileTest, UnknownOrWrongLengthNeverCutsTheSound) {
    if (!test::HaveTool("sndfile-convert")) GTEST_SKIP() << "needs sndfile-convert";
    const std::string ten = Sine("ten.wav", 44100, 1, 16, 10.0);
    const std::string piped = dir.File("piped.flac");
    ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-i", ten, "-f", "flac", "-"}, piped), 0);
    const std::string stereo = Sine("s.wav", 44100, 2, 16, 6.0);
    const std::string ima4 = dir.File("ima4.aifc");
    ASSERT_EQ(RunCommand({"sndfile-convert", "-ima-adpcm", stereo, ima4}), 0);
    struct Case {
        std::string path;
        int trimLastType, duration, skipFirst;
        double seconds;  // what must come out, within one block
    };
    const Case cases[] = {
        {piped, 0, 0, 0, 10.0},  {piped, 1, 5000, 0, 5.0}, {piped, 1, 5000, 2000, 5.0},
        {ima4, 1, 4000, 0, 4.0}, {ima4, 1, 4000, 1000, 4.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " duration " + std::to_string(c.duration) + " skip " + std::to_string(c.skipFirst));
        options.TrimLastType = c.trimLastType;
        options.ConvertDuration = c.duration;
        options.SkipFirstMs = c.skipFirst;
        ConvertResult r;
        ASSERT_TRUE(Convert(c.path, r));
        EXPECT_GE(r.outputSamples, static_cast<std::uint32_t>(c.seconds * 44100));
        EXPECT_LE(r.outputSamples, static_cast<std::uint32_t>(c.seconds * 44100) + 1152u);
    }
}

// Trims at the edges: the whole length is refused, one sample less keeps exactly the one sample
// at the other end. The clicks files are silent but for a full-scale click in their first and
// last samples, so a kept sample that is not one of those decodes to silence.
TEST_F(ConvertFileTest, SkipsCoveringTheSoundFailAndLeaveNoMp3) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 1.0);
    const auto clicks = [&](const std::string& name, std::size_t samples) {
        std::vector<std::uint8_t> raw(samples * 2, 0);
        for (const std::size_t at : {std::size_t{0}, samples - 1}) raw[2 * at] = 0x20, raw[2 * at + 1] = 0x4E;  // 20000
        const std::string rawPath = dir.File(name + ".raw"), path = dir.File(name);
        EXPECT_TRUE(test::WriteFileBytes(rawPath, raw));
        EXPECT_EQ(RunCommand({"sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "1", rawPath, path}), 0);
        return path;
    };
    const std::string longer = clicks("44101.wav", 44101), shorter = clicks("44099.wav", 44099);
    struct Case {
        const std::string& path;
        int skipFirst, skipLast;
        std::uint32_t kept;  // 0: refused
    };
    const Case cases[] = {
        {wav, 1000, 0, 0},     // exactly all 44100 samples
        {wav, 600, 400, 0},    // 26460 + 17640 = 44100
        {wav, 600, 399, 45},   // 44100 - 26460 - 17595
        {longer, 1000, 0, 1},  // the last sample
        {longer, 0, 1000, 1},  // the first sample
        {shorter, 1000, 0, 0}, {shorter, 0, 1000, 0}, {shorter, 999, 0, 44},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + ": skip first " + std::to_string(c.skipFirst) + " ms, last " + std::to_string(c.skipLast) + " ms");
        options.SkipFirstMs = c.skipFirst;
        options.SkipLastMs = c.skipLast;
        ConvertResult r;
        EXPECT_EQ(Convert(c.path, r), c.kept > 0);
        if (c.kept == 0) {
            EXPECT_NE(r.refusal.find("leaves no sound"), std::string::npos) << r.refusal;
            EXPECT_FALSE(std::filesystem::exists(mp3));
            continue;
        }
        EXPECT_EQ(r.outputSamples, c.kept);
        if (c.path != wav) {
            const auto decoded = DecodedMp3();
            const auto peak = std::max_element(decoded.begin(), decoded.end(), [](int x, int y) { return std::abs(x) < std::abs(y); });
            ASSERT_NE(peak, decoded.end());
            EXPECT_GT(std::abs(*peak), 1000) << "the kept sample is not a click";
        }
    }
}

TEST_F(ConvertFileTest, ManualRateDoublesOutputSamples) {
    const std::string wav = Sine("a.wav", 22050, 1, 16, 1.0);
    options.AutoDestMP3EncodingParam = 0;
    options.MP3SampleRate = 44100;
    options.MP3BitRate = 64;
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_EQ(r.outputSamples, 44100u);
    const auto decoded = DecodedMp3();
    ExpectDecodedLength(decoded, r.outputSamples);
    EXPECT_NEAR(test::DominantFrequency(decoded, 44100), 440.0, 2.0);
}

TEST_F(ConvertFileTest, VolumeScalesTheSound) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 1.0, 440, -20);
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    const double plain = test::Rms(DecodedMp3(), 4000, 40000);
    options.ChangeVolume = 1;
    options.VolumeCoef = 100;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_NEAR(test::Rms(DecodedMp3(), 4000, 40000), plain, plain * 0.01);
    options.VolumeCoef = 200;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_NEAR(test::Rms(DecodedMp3(), 4000, 40000) / plain, 2.0, 0.05);
}

TEST_F(ConvertFileTest, EightBitSourcesAreWidened) {
    const std::string wav16 = Sine("a16.wav", 22050, 2, 16, 1.0, 440, -6);
    const std::string wav8 = Sine("a8.wav", 22050, 2, 8, 1.0, 440, -6);
    ConvertResult r;
    ASSERT_TRUE(Convert(wav16, r));
    const double rms16 = test::Rms(DecodedMp3(), 2000, 20000);
    // The decoding library delivers 16-bit samples; an 8-bit file it refuses (here an odd chunk
    // without its pad byte before "fmt ") is read by the built-in reader as unsigned bytes,
    // which are widened here, each channel alike.
    const std::string odd = dir.File("a8odd.wav");
    ASSERT_EQ(RunCommand({"python3", "-c",
                          "import struct, sys\n"
                          "b = open(sys.argv[1], 'rb').read()\n"
                          "b = bytearray(b[:12] + b'junk' + struct.pack('<I', 5) + bytes(range(1, 6)) + b[12:])\n"
                          "b[4:8] = struct.pack('<I', len(b) - 8)\n"
                          "open(sys.argv[2], 'wb').write(b)\n",
                          wav8, odd}),
              0);
    for (const std::string& path : {wav8, odd}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(Convert(path, r));
        EXPECT_EQ(r.outputSamples, 22050u);
        const auto decoded8 = DecodedMp3();
        EXPECT_NEAR(test::Rms(decoded8, 2000, 20000) / rms16, 1.0, 0.05);
        EXPECT_NEAR(test::DominantFrequency(decoded8, 22050), 440.0, 2.0);
        for (const auto& channel : StereoS16(mp3, dir.File("out.raw")))
            EXPECT_NEAR(test::Rms(channel, 2000, 20000) / rms16, 1.0, 0.05);
    }
}

TEST_F(ConvertFileTest, ProgressRunsInTwoPhasesToHundred) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 2.0);
    CRecordingProgress p;
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r, &p));
    EXPECT_EQ(p.range, 300);
    ASSERT_FALSE(p.texts.empty());
    EXPECT_EQ(p.texts.back(), "Converting a.wav...100%");
    EXPECT_NE(std::find(p.texts.begin(), p.texts.end(), "Converting a.wav...20%"), p.texts.end());
    EXPECT_NE(std::find(p.texts.begin(), p.texts.end(), "Converting a.wav...21%"), p.texts.end());
    // Decoding moves the bar by 88200 / (5 x 132300 / 300) = 40 (the estimate counts one second
    // more than the file holds), encoding by 4/5 of 300 = 240; 100 % was reached on the way,
    // so the bar is not pushed to its end.
    EXPECT_EQ(p.positions.back(), 280);
    EXPECT_TRUE(std::is_sorted(p.positions.begin() + 1, p.positions.end()));
    // One event call per block in each phase, 77 blocks decoded and 77 encoded, and one when
    // the reading ends.
    EXPECT_EQ(p.events, 2 * 77 + 1);
}

TEST_F(ConvertFileTest, CancelInEitherPhaseFailsAndRemovesMp3) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 2.0);
    for (int after : {3, 100}) {
        CRecordingProgress p;
        p.cancelAfter = after;
        ConvertResult r;
        EXPECT_FALSE(Convert(wav, r, &p)) << after;
        EXPECT_FALSE(std::filesystem::exists(mp3)) << after;
    }
}

TEST_F(ConvertFileTest, UnreadableInputsFail) {
    ConvertResult r;
    const std::string empty = dir.File("empty.wav");
    { std::ofstream(empty).flush(); }
    EXPECT_FALSE(Convert(empty, r));
    const std::string text = dir.File("text.mp3");
    { std::ofstream(text) << "This is not an MP3 file at all, just some words.\n"; }
    EXPECT_FALSE(Convert(text, r));
    EXPECT_FALSE(Convert(dir.File("missing.wav"), r));
    EXPECT_FALSE(std::filesystem::exists(mp3));
}

TEST_F(ConvertFileTest, MissingOutputFolderFails) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 0.5);
    ConvertResult r;
    CRecordingProgress p;
    EXPECT_FALSE(ConvertFile(AudioKindWav, wav, dir.File("no/such/folder/out.mp3"), p, options, r));
}

}  // namespace
}  // namespace tonvela
