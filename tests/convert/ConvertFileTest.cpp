// Per-file conversion: sample counts of trimming and duration mode worked out by hand, the
// encoded sound checked by ffmpeg's decode, progress and cancel.
#include <gtest/gtest.h>

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

TEST_F(ConvertFileTest, SkipLastAndBothEnds) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 2.0);
    options.SkipFirstMs = 250;  // 11025
    options.SkipLastMs = 100;   // 4410
    ConvertResult r;
    ASSERT_TRUE(Convert(wav, r));
    EXPECT_EQ(r.outputSamples, 88200u - 11025u - 4410u);
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

TEST_F(ConvertFileTest, SkipsCoveringTheSoundFailAndLeaveNoMp3) {
    const std::string wav = Sine("a.wav", 44100, 1, 16, 1.0);
    ConvertResult r;
    options.SkipFirstMs = 1000;  // exactly all 44100 samples
    EXPECT_FALSE(Convert(wav, r));
    EXPECT_FALSE(std::filesystem::exists(mp3));
    options.SkipFirstMs = 600;
    options.SkipLastMs = 400;  // 26460 + 17640 = 44100
    EXPECT_FALSE(Convert(wav, r));
    EXPECT_FALSE(std::filesystem::exists(mp3));
    options.SkipLastMs = 399;
    EXPECT_TRUE(Convert(wav, r));
    EXPECT_EQ(r.outputSamples, 44100u - 26460u - 17595u);
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
    ASSERT_TRUE(Convert(wav8, r));
    EXPECT_EQ(r.outputSamples, 22050u);
    const auto decoded8 = DecodedMp3();
    EXPECT_NEAR(test::Rms(decoded8, 2000, 20000) / rms16, 1.0, 0.05);
    EXPECT_NEAR(test::DominantFrequency(decoded8, 22050), 440.0, 2.0);
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
