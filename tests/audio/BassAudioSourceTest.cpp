#include "audio/BassAudioSource.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "audio/BassTestFiles.h"
#include "audio/DecoderStartup.h"

namespace tonvela {
namespace {

using test::EncodeWithFfmpeg;
using test::FfmpegDecode;

struct StreamCase {
    const char* name;  // file name; the extension picks the container
    int channels;
    int rate;           // rate of the encoded signal
    int decodedRate;    // rate the decoder delivers
    std::vector<std::string> args;
    bool exact;         // bit-exact against ffmpeg's decode (float decoders may differ by 1)
    std::size_t zeros = 0;  // zero bytes appended after the encoded file: no sound, no length
};

const std::vector<StreamCase>& StreamCases() {
    static const std::vector<StreamCase> cases = {
        {"cbr_id3.mp3", 2, 44100, 44100, {"-c:a", "libmp3lame", "-b:a", "128k", "-metadata", "title=Tone"}, true},
        {"cbr_noid3.mp3", 2, 44100, 44100, {"-c:a", "libmp3lame", "-b:a", "128k", "-id3v2_version", "0", "-write_xing", "0"}, true},
        {"vbr_id3.mp3", 2, 44100, 44100, {"-c:a", "libmp3lame", "-q:a", "4", "-metadata", "title=Tone"}, true},
        {"vbr_noid3.mp3", 1, 22050, 22050, {"-c:a", "libmp3lame", "-q:a", "6", "-id3v2_version", "0"}, true},
        {"vorbis.ogg", 2, 44100, 44100, {"-c:a", "libvorbis", "-q:a", "3"}, true},
        {"opus.opus", 2, 48000, 48000, {"-c:a", "libopus", "-b:a", "64k"}, true},
        {"lossless.flac", 2, 44100, 44100, {"-c:a", "flac"}, true},
        {"six.flac", 6, 48000, 48000, {"-c:a", "flac"}, true},
        {"aac.m4a", 2, 44100, 44100, {"-c:a", "aac", "-b:a", "128k"}, true},
        {"wma.wma", 2, 44100, 44100, {"-c:a", "wmav2", "-b:a", "128k"}, true},
        {"six.ac3", 6, 48000, 48000, {"-c:a", "ac3", "-b:a", "384k"}, true},
        {"wavpack.wv", 2, 44100, 44100, {"-c:a", "wavpack"}, true},
        {"tta.tta", 2, 44100, 44100, {"-c:a", "tta"}, true},
        {"pcm.wav", 2, 44100, 44100, {"-c:a", "pcm_s16le"}, true},
        {"alac.m4a", 2, 44100, 44100, {"-c:a", "alac"}, true},
        {"adpcm.adx", 2, 44100, 44100, {"-c:a", "adpcm_adx"}, true},
        {"float.aiff", 2, 32000, 32000, {"-c:a", "pcm_f32be"}, true},
        {"u8.wav", 1, 11025, 11025, {"-c:a", "pcm_u8"}, true},
        // Padded MPEG streams: Info tag, no tag, Xing tag (VBR), Layer II.
        {"cbr_padded.mp3", 2, 44100, 44100, {"-c:a", "libmp3lame", "-b:a", "128k"}, true, 2u << 20},
        {"cbr_notag_padded.mp3", 1, 44100, 44100, {"-c:a", "libmp3lame", "-b:a", "64k", "-write_xing", "0"}, true, 2u << 20},
        {"vbr_padded.mp3", 2, 44100, 44100, {"-c:a", "libmp3lame", "-q:a", "4"}, true, 2u << 20},
        {"layer2_padded.mp2", 2, 48000, 48000, {"-c:a", "mp2", "-b:a", "192k"}, true, 2u << 20},
    };
    return cases;
}

// Reads the whole source; returns the frames of each Read call and the samples of both buffers.
struct Decoded {
    std::vector<int> reads;
    std::vector<std::int16_t> left, right;
};
Decoded ReadAll(CAudioSource& src) {
    Decoded d;
    std::int16_t l[kReadFrames], r[kReadFrames];
    for (;;) {
        const int n = src.Read(l, src.GetOutputChannels() == 2 ? r : nullptr);
        if (n < 1) break;
        EXPECT_LE(n, kReadFrames);
        d.reads.push_back(n);
        d.left.insert(d.left.end(), l, l + n);
        if (src.GetOutputChannels() == 2) d.right.insert(d.right.end(), r, r + n);
        if (d.reads.size() > 100000) break;  // a source that never ends
    }
    return d;
}

class BassStreamTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir();
        for (const StreamCase& c : StreamCases()) {
            made_[c.name] = EncodeWithFfmpeg(dir_->File(c.name), c.channels, c.rate, 3.0, c.args);
            if (c.zeros > 0) std::ofstream(dir_->File(c.name), std::ios::binary | std::ios::app) << std::string(c.zeros, '\0');
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static test::TempDir* dir_;
    static std::map<std::string, bool> made_;
};
test::TempDir* BassStreamTest::dir_ = nullptr;
std::map<std::string, bool> BassStreamTest::made_;

TEST_F(BassStreamTest, FormatRecordAndDecodedSamplesMatchFfmpeg) {
    for (const StreamCase& c : StreamCases()) {
        SCOPED_TRACE(c.name);
        if (!made_[c.name]) {
            ADD_FAILURE() << "ffmpeg could not make the file";
            continue;
        }
        const std::string path = dir_->File(c.name);
        CBassAudioSource src;
        ASSERT_TRUE(src.Open(path, 0));
        EXPECT_FALSE(src.IsMusic());
        EXPECT_EQ(src.GetSampleRate(), c.decodedRate);
        EXPECT_EQ(src.GetChannels(), c.channels);
        EXPECT_EQ(src.GetOutputChannels(), c.channels < 2 ? 1 : 2);
        EXPECT_EQ(src.GetBitsPerSample(), 16);
        // Three seconds of signal plus codec delay and padding, truncated to whole seconds.
        EXPECT_GE(src.GetDuration(), 2);
        EXPECT_LE(src.GetDuration(), 3);
        const std::uint64_t frameBytes = 2u * static_cast<std::uint64_t>(c.channels);
        EXPECT_EQ(src.GetLength() % frameBytes, 0u);
        const double lengthSeconds = static_cast<double>(src.GetLength()) / static_cast<double>(frameBytes * c.decodedRate);
        EXPECT_NEAR(lengthSeconds, 3.0, 0.12);
        if (c.zeros > 0) {
            // The bit rate is the sound's bytes over its length, the padding left out.
            const double soundBytes = static_cast<double>(std::filesystem::file_size(dir_->File(c.name)) - c.zeros);
            EXPECT_NEAR(src.GetBitRate(), soundBytes / (lengthSeconds * 125.0), 2.0);
        }

        const Decoded d = ReadAll(src);
        const std::vector<std::int16_t> ref = FfmpegDecode(path, dir_->File("ref.raw"));
        ASSERT_FALSE(ref.empty());
        ASSERT_EQ(ref.size() % static_cast<std::size_t>(c.channels), 0u);
        const std::size_t refFrames = ref.size() / static_cast<std::size_t>(c.channels);
        ASSERT_EQ(d.left.size(), refFrames);
        EXPECT_EQ(src.GetPosition(), refFrames * frameBytes);
        int worst = 0;
        for (std::size_t i = 0; i < refFrames; ++i) {
            worst = std::max(worst, std::abs(d.left[i] - ref[i * static_cast<std::size_t>(c.channels)]));
            if (c.channels >= 2)
                worst = std::max(worst, std::abs(d.right[i] - ref[i * static_cast<std::size_t>(c.channels) + 1]));
        }
        EXPECT_LE(worst, c.exact ? 0 : 1);
        // More than two channels: each request stays 2 x 2 x 1152 bytes, so 384 frames of 6.
        if (c.channels == 6) {
            for (std::size_t i = 0; i + 1 < d.reads.size(); ++i) ASSERT_EQ(d.reads[i], 384);
        } else {
            for (std::size_t i = 0; i + 1 < d.reads.size(); ++i) ASSERT_EQ(d.reads[i], kReadFrames);
        }
        // After the end every further Read reports the end.
        std::int16_t l[kReadFrames], r[kReadFrames];
        EXPECT_EQ(src.Read(l, r), 0);
    }
}

TEST_F(BassStreamTest, BitRateComesFromFileSizeOverDuration) {
    // Constant-rate streams: the container overhead stays within a few kbit/s of the coded rate.
    const std::pair<const char*, int> expected[] = {{"cbr_noid3.mp3", 128}, {"six.ac3", 384}, {"pcm.wav", 1411}};
    for (const auto& [name, kbps] : expected) {
        SCOPED_TRACE(name);
        CBassAudioSource src;
        ASSERT_TRUE(src.Open(dir_->File(name), 0));
        EXPECT_NEAR(src.GetBitRate(), kbps, 3);
        // And exactly the file size over the decoded seconds, to the nearest kbit/s.
        const double seconds = static_cast<double>(src.GetLength()) /
                               (2.0 * src.GetChannels() * src.GetSampleRate());
        const double size = static_cast<double>(std::filesystem::file_size(dir_->File(name)));
        EXPECT_EQ(src.GetBitRate(), static_cast<int>(std::lround(size * 8.0 / 1000.0 / seconds)));
    }
}

// libsndfile's packed AIFF-C: its COMM count is sample frames (GSM) or half the packets (stereo
// IMA4), which FFmpeg takes as packets. The length must follow the sound data: what
// libsndfile's own decode yields, and the bit rate the file size over that.
TEST(BassAiffLength, PackedAiffcLengthFollowsTheSoundData) {
    if (!test::HaveTool("sox") || !test::HaveTool("sndfile-convert")) GTEST_SKIP() << "needs sox and sndfile-convert";
    test::TempDir dir;
    const struct {
        const char* name;
        const char* encoding;
        int rate, channels;
        double seconds;
    } cases[] = {
        {"gsm3.aifc", "-gsm610", 8000, 1, 3.0},
        {"gsm10.aifc", "-gsm610", 8000, 1, 10.0},
        {"ima3.aifc", "-ima-adpcm", 44100, 2, 3.0},
        {"ima3mono.aifc", "-ima-adpcm", 22050, 1, 3.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string wav = dir.File("src.wav"), path = dir.File(c.name), back = dir.File("back.wav");
        ASSERT_EQ(test::RunCommand({"sox", "-n", "-r", std::to_string(c.rate), "-c", std::to_string(c.channels), "-b",
                                    "16", wav, "synth", std::to_string(c.seconds), "sine", "440"}),
                  0);
        ASSERT_EQ(test::RunCommand({"sndfile-convert", c.encoding, wav, path}), 0);
        // libsndfile decodes its own file: the frames the sound data holds.
        ASSERT_EQ(test::RunCommand({"sndfile-convert", "-pcm16", path, back}), 0);
        const double frames = static_cast<double>(std::filesystem::file_size(back) - 44) / (2.0 * c.channels);

        const std::unique_ptr<CAudioSource> src = OpenAudioSource(path, AudioKindAiff, 0);
        ASSERT_NE(src, nullptr);
        EXPECT_NE(dynamic_cast<CBassAudioSource*>(src.get()), nullptr);  // FFmpeg decodes it
        EXPECT_EQ(src->GetDuration(), static_cast<int>(frames / c.rate));
        const double seconds = static_cast<double>(src->GetLength()) / (2.0 * c.channels * c.rate);
        EXPECT_NEAR(seconds * c.rate, frames, 160);  // within one packet
        const double size = static_cast<double>(std::filesystem::file_size(path));
        EXPECT_EQ(src->GetBitRate(), static_cast<int>(std::lround(size / (seconds * 125.0))));
    }
}

TEST_F(BassStreamTest, ReopenAndCloseReleaseTheOldFile) {
    CBassAudioSource src;
    ASSERT_TRUE(src.Open(dir_->File("six.ac3"), 0));
    std::int16_t l[kReadFrames], r[kReadFrames];
    ASSERT_EQ(src.Read(l, r), 384);
    EXPECT_EQ(src.GetPosition(), 384u * 12u);
    ASSERT_TRUE(src.Open(dir_->File("vbr_noid3.mp3"), 0));
    EXPECT_EQ(src.GetChannels(), 1);
    EXPECT_EQ(src.GetPosition(), 0u);
    EXPECT_EQ(src.Read(l, nullptr), kReadFrames);
    EXPECT_EQ(src.GetPosition(), 2u * kReadFrames);
    src.Close();
    EXPECT_EQ(src.Read(l, r), 0);
    EXPECT_EQ(src.GetPosition(), 0u);
    // A failed open leaves a cleared record behind.
    EXPECT_FALSE(src.Open(dir_->File("missing.mp3"), 0));
    EXPECT_EQ(src.GetSampleRate(), 0);
    EXPECT_EQ(src.GetChannels(), 0);
}

TEST(BassStreamChange, ChainedStreamKeepsTheFirstPartsFormat) {
    // Two Ogg streams back to back, the second mono at half the rate: everything is delivered
    // at the first part's rate and channel count, as the ffmpeg tool delivers it.
    test::TempDir dir;
    ASSERT_TRUE(EncodeWithFfmpeg(dir.File("a.ogg"), 2, 44100, 1.0, {"-c:a", "libvorbis"}));
    ASSERT_TRUE(EncodeWithFfmpeg(dir.File("b.ogg"), 1, 22050, 1.0, {"-c:a", "libvorbis"}));
    std::vector<std::uint8_t> both = test::ReadFileBytes(dir.File("a.ogg"));
    const std::vector<std::uint8_t> second = test::ReadFileBytes(dir.File("b.ogg"));
    both.insert(both.end(), second.begin(), second.end());
    ASSERT_TRUE(test::WriteFileBytes(dir.File("ab.ogg"), both));
    CBassAudioSource src;
    ASSERT_TRUE(src.Open(dir.File("ab.ogg"), 0));
    EXPECT_EQ(src.GetSampleRate(), 44100);
    EXPECT_EQ(src.GetChannels(), 2);
    const Decoded d = ReadAll(src);
    const std::vector<std::int16_t> ref = FfmpegDecode(dir.File("ab.ogg"), dir.File("ref.raw"));
    ASSERT_EQ(d.left.size(), ref.size() / 2);
    EXPECT_GT(d.left.size(), 86000u);
    // The second part is heard in both channels.
    int peakRight = 0;
    for (std::size_t i = 50000; i < d.right.size(); ++i) peakRight = std::max(peakRight, std::abs(static_cast<int>(d.right[i])));
    EXPECT_GT(peakRight, 5000);
    int worst = 0;
    for (std::size_t i = 0; i < d.left.size(); ++i)
        worst = std::max({worst, std::abs(d.left[i] - ref[2 * i]), std::abs(d.right[i] - ref[2 * i + 1])});
    EXPECT_LE(worst, 64);
}

// ---- refused input ----

TEST(BassRefusal, NonAudioFilesAreRefusedCleanly) {
    test::TempDir dir;
    std::string text;
    for (int i = 0; i < 200; ++i) text += "This is a plain text file and no audio at all. Line " + std::to_string(i) + "\n";
    test::WriteFileBytes(dir.File("text.mp3"), std::vector<std::uint8_t>(text.begin(), text.end()));
    test::WriteFileBytes(dir.File("empty.mp3"), {});
    std::mt19937 rng(1234);
    for (int f = 0; f < 20; ++f) {
        std::vector<std::uint8_t> junk(static_cast<std::size_t>(f < 16 ? 100 + f * 997 : 1 << (f + 2)));
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
        test::WriteFileBytes(dir.File("junk" + std::to_string(f) + (f % 2 ? ".mp3" : ".ogg")), junk);
    }
    // Nothing is printed while refusing: capture the standard error stream meanwhile.
    std::fflush(stderr);
    const int savedErr = dup(2);
    const int errFile = open(dir.File("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(errFile, 0);
    dup2(errFile, 2);
    close(errFile);
    CBassAudioSource src;
    EXPECT_FALSE(src.Open(dir.File("text.mp3"), 0));
    EXPECT_FALSE(src.Open(dir.File("empty.mp3"), 0));
    EXPECT_FALSE(src.Open(dir.File("does-not-exist.mp3"), 0));
    EXPECT_FALSE(src.Open(dir.Path().string(), 0));  // a folder
    for (int f = 0; f < 20; ++f) {
        SCOPED_TRACE(f);
        EXPECT_FALSE(src.Open(dir.File("junk" + std::to_string(f) + (f % 2 ? ".mp3" : ".ogg")), 0));
        EXPECT_EQ(src.GetDuration(), 0);
        EXPECT_EQ(src.GetBitRate(), 0);
    }
    std::fflush(stderr);
    dup2(savedErr, 2);
    close(savedErr);
    EXPECT_EQ(std::filesystem::file_size(dir.File("stderr.txt")), 0u);
}

TEST(BassRefusal, PathsAreFileNamesNeverUrls) {
    test::TempDir dir;
    ASSERT_TRUE(EncodeWithFfmpeg(dir.File("tone.mp3"), 1, 22050, 1.0, {"-c:a", "libmp3lame"}));
    std::filesystem::copy_file(dir.File("tone.mp3"), dir.File("http:tone.mp3"));
    std::filesystem::copy_file(dir.File("tone.mp3"), dir.File("concat:tone.mp3|tone.mp3"));
    // Relative names, as the command line passes them, are where a "scheme:" would be seen.
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    CBassAudioSource src;
    const bool http = src.Open("http:tone.mp3", 0);
    const std::size_t httpFrames = http ? ReadAll(src).left.size() : 0;
    const bool concat = src.Open("concat:tone.mp3|tone.mp3", 0);
    const std::size_t concatFrames = concat ? ReadAll(src).left.size() : 0;
    std::filesystem::current_path(old);
    EXPECT_TRUE(http);
    EXPECT_TRUE(concat);
    // One second each: the concat name was not taken as two files.
    EXPECT_NEAR(static_cast<double>(httpFrames), 22050.0, 2000.0);
    EXPECT_NEAR(static_cast<double>(concatFrames), 22050.0, 2000.0);
}

TEST(BassRefusal, TruncatedStreamDecodesWhatIsThereAndEnds) {
    test::TempDir dir;
    ASSERT_TRUE(EncodeWithFfmpeg(dir.File("full.flac"), 2, 44100, 2.0, {"-c:a", "flac"}));
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(dir.File("full.flac"));
    bytes.resize(bytes.size() / 2);
    for (std::size_t i = bytes.size() * 3 / 4; i < bytes.size(); i += 7) bytes[i] ^= 0x5A;  // and damage the tail
    test::WriteFileBytes(dir.File("cut.flac"), bytes);
    CBassAudioSource src;
    ASSERT_TRUE(src.Open(dir.File("cut.flac"), 0));
    const Decoded d = ReadAll(src);
    EXPECT_GT(d.left.size(), 20000u);
    EXPECT_LT(d.left.size(), 88200u);
}

// ---- module music ----

class BassMusicTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::WriteFileBytes(dir_.File("tune.mod"), test::MakeProTrackerModule())); }
    test::TempDir dir_;
};

TEST_F(BassMusicTest, RendersAtTheRequestedRateWithThePcmBitRate) {
    std::size_t frames[2] = {0, 0};
    const int rates[2] = {22050, 44100};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(rates[i]);
        CBassAudioSource src;
        ASSERT_TRUE(src.Open(dir_.File("tune.mod"), rates[i]));
        EXPECT_TRUE(src.IsMusic());
        EXPECT_EQ(src.GetSampleRate(), rates[i]);
        EXPECT_EQ(src.GetChannels(), 2);
        EXPECT_EQ(src.GetOutputChannels(), 2);
        EXPECT_EQ(src.GetBitsPerSample(), 16);
        // No file size for music: 16 bits x 2 channels x rate.
        EXPECT_EQ(src.GetBitRate(), 16 * 2 * rates[i] / 1000);
        // 16 rows of 6 ticks at 125 BPM: 16 x 6 x 0.02 s = 1.92 s.
        EXPECT_EQ(src.GetDuration(), 1);
        EXPECT_NEAR(static_cast<double>(src.GetLength()) / (4.0 * rates[i]), 1.92, 0.01);
        const Decoded d = ReadAll(src);
        frames[i] = d.left.size();
        // The song's 1.92 s, plus the short tail the renderer lets ring out after the last row.
        EXPECT_GE(static_cast<double>(frames[i]) / rates[i], 1.91);
        EXPECT_LE(static_cast<double>(frames[i]) / rates[i], 2.1);
        EXPECT_EQ(src.GetPosition(), frames[i] * 4u);
        // The notes sound: a loud square wave, not silence.
        int peak = 0;
        for (std::int16_t s : d.left) peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 2000);
    }
    EXPECT_NEAR(static_cast<double>(frames[1]) / static_cast<double>(frames[0]), 2.0, 0.01);
}

TEST_F(BassMusicTest, RateZeroMeans44100AndMatchesFfmpegsRendering) {
    CBassAudioSource src;
    ASSERT_TRUE(src.Open(dir_.File("tune.mod"), 0));
    EXPECT_EQ(src.GetSampleRate(), 44100);
    const Decoded d = ReadAll(src);
    // ffmpeg renders module music through the same library in floating point: compare loosely.
    const std::vector<std::int16_t> ref = [&] {
        if (test::RunCommand({"ffmpeg", "-hide_banner", "-nostdin", "-y", "-f", "libopenmpt", "-sample_rate", "44100",
                              "-i", dir_.File("tune.mod"), "-f", "s16le", "-ac", "2", dir_.File("ref.raw")}) != 0)
            return std::vector<std::int16_t>{};
        return test::ReadS16le(dir_.File("ref.raw"));
    }();
    if (ref.empty()) GTEST_SKIP() << "ffmpeg has no libopenmpt demuxer";
    const std::size_t n = std::min(d.left.size(), ref.size() / 2);
    EXPECT_NEAR(static_cast<double>(n), static_cast<double>(d.left.size()), 0.01 * static_cast<double>(d.left.size()));
    double diff = 0, energy = 0;
    for (std::size_t i = 0; i < n; ++i) {
        diff += std::pow(d.left[i] - ref[2 * i], 2) + std::pow(d.right[i] - ref[2 * i + 1], 2);
        energy += std::pow(ref[2 * i], 2) + std::pow(ref[2 * i + 1], 2);
    }
    EXPECT_LT(diff, 1e-3 * energy);
}

TEST_F(BassMusicTest, RatesTheRendererCannotMakeAreRefused) {
    CBassAudioSource src;
    EXPECT_FALSE(src.Open(dir_.File("tune.mod"), 4000));
    EXPECT_FALSE(src.Open(dir_.File("tune.mod"), -1));
    EXPECT_FALSE(src.Open(dir_.File("tune.mod"), 400000));
    EXPECT_TRUE(src.Open(dir_.File("tune.mod"), 8000));
}

// ---- the source's arithmetic over channel formats the libraries do not produce ----

class FakeChannel : public CDecoderChannel {
public:
    FakeChannel(DecoderChannelInfo info, std::uint64_t length, std::uint64_t fileSize, std::vector<std::uint8_t> data)
        : info_(info), length_(length), fileSize_(fileSize), data_(std::move(data)) {}
    DecoderChannelInfo GetInfo() const override { return info_; }
    std::uint64_t GetLength() const override { return length_; }
    double BytesToSeconds(std::uint64_t bytes) const override {
        const int width = (info_.flags & kDecoderSample8Bits) ? 1 : 2;
        return static_cast<double>(bytes) / (static_cast<double>(width) * info_.chans * info_.freq);
    }
    std::uint64_t GetFileSize() const override { return fileSize_; }
    std::uint32_t GetData(void* buffer, std::uint32_t bytes) override {
        requests.push_back(bytes);
        const std::size_t n = std::min<std::size_t>(bytes, data_.size() - pos_);
        if (n == 0) return kDecoderDataEnd;
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return static_cast<std::uint32_t>(n);
    }
    std::uint64_t GetPosition() const override { return pos_; }
    std::vector<std::uint32_t> requests;

private:
    DecoderChannelInfo info_;
    std::uint64_t length_, fileSize_;
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
};

TEST(BassArithmetic, TenSecondsOfAMillionAndAQuarterBytesIs1000Kbits) {
    // 10 s of 16-bit stereo at 44100 Hz.
    auto ch = std::make_unique<FakeChannel>(DecoderChannelInfo{44100, 2, 0}, 1764000u, 1250000u, std::vector<std::uint8_t>{});
    CBassAudioSource src;
    ASSERT_TRUE(src.OpenChannel(std::move(ch), false, "x"));
    EXPECT_EQ(src.GetDuration(), 10);
    EXPECT_EQ(src.GetBitRate(), 1000);
    // To the nearest kbit/s: 1 250 625 bytes make 1000.5 (up), 1 250 624 make 1000.4992 (down).
    ch = std::make_unique<FakeChannel>(DecoderChannelInfo{44100, 2, 0}, 1764000u, 1250625u, std::vector<std::uint8_t>{});
    ASSERT_TRUE(src.OpenChannel(std::move(ch), false, "x"));
    EXPECT_EQ(src.GetBitRate(), 1001);
    ch = std::make_unique<FakeChannel>(DecoderChannelInfo{44100, 2, 0}, 1764000u, 1250624u, std::vector<std::uint8_t>{});
    ASSERT_TRUE(src.OpenChannel(std::move(ch), false, "x"));
    EXPECT_EQ(src.GetBitRate(), 1000);
}

TEST(BassArithmetic, UnknownLengthFallsBackToThePcmRate) {
    auto ch = std::make_unique<FakeChannel>(DecoderChannelInfo{22050, 1, 0}, 0u, 5000u, std::vector<std::uint8_t>{});
    CBassAudioSource src;
    ASSERT_TRUE(src.OpenChannel(std::move(ch), false, "x"));
    EXPECT_EQ(src.GetDuration(), 0);
    EXPECT_EQ(src.GetBitRate(), 352);  // 16 x 22050 x 1 / 1000 = 352.8, truncated
}

TEST(BassArithmetic, EightBitSixChannelFramesSplitIntoChannelsZeroAndOne) {
    std::vector<std::uint8_t> data;
    for (int f = 0; f < 1000; ++f)
        for (int c = 0; c < 6; ++c) data.push_back(static_cast<std::uint8_t>(f * 7 + c));
    auto ch = std::make_unique<FakeChannel>(DecoderChannelInfo{8000, 6, kDecoderSample8Bits}, 6000u, kDecoderNoFileSize, data);
    FakeChannel* raw = ch.get();
    CBassAudioSource src;
    ASSERT_TRUE(src.OpenChannel(std::move(ch), true, "x"));
    EXPECT_EQ(src.GetBitsPerSample(), 8);
    EXPECT_EQ(src.GetOutputChannels(), 2);
    EXPECT_EQ(src.GetBitRate(), 8 * 8000 * 6 / 1000);
    std::uint8_t l[kReadFrames], r[kReadFrames];
    // Each request is 1 x 2 x 1152 bytes: 384 frames of 6 bytes.
    ASSERT_EQ(src.Read(l, r), 384);
    EXPECT_EQ(raw->requests.back(), 2304u);
    for (int f = 0; f < 384; ++f) {
        ASSERT_EQ(l[f], static_cast<std::uint8_t>(f * 7));
        ASSERT_EQ(r[f], static_cast<std::uint8_t>(f * 7 + 1));
    }
    EXPECT_EQ(src.Read(l, r), 384);
    EXPECT_EQ(src.Read(l, r), 1000 - 768);
    EXPECT_EQ(src.Read(l, r), 0);
}

TEST(BassArithmetic, MonoReadsStraightIntoTheLeftBuffer) {
    std::vector<std::uint8_t> data(3000 * 2);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    auto ch = std::make_unique<FakeChannel>(DecoderChannelInfo{8000, 1, 0}, 6000u, 100u, data);
    CBassAudioSource src;
    ASSERT_TRUE(src.OpenChannel(std::move(ch), false, "x"));
    std::int16_t l[kReadFrames];
    EXPECT_EQ(src.Read(l, nullptr), kReadFrames);
    EXPECT_EQ(std::memcmp(l, data.data(), sizeof l), 0);
    EXPECT_EQ(src.Read(l, nullptr), kReadFrames);
    EXPECT_EQ(src.Read(l, nullptr), 3000 - 2 * kReadFrames);
    EXPECT_EQ(src.Read(l, nullptr), 0);
}

// ---- start-up ----

TEST(DecoderStartup, VersionsMatchAndTheLibrariesStart) {
    EXPECT_EQ(DecoderRuntimeVersions(), DecoderBuiltVersions());
    // Any one library of another major version stops the start.
    unsigned DecoderVersions::*fields[] = {&DecoderVersions::avformat, &DecoderVersions::avcodec,
                                           &DecoderVersions::swresample, &DecoderVersions::avutil,
                                           &DecoderVersions::openmpt};
    for (unsigned DecoderVersions::*field : fields) {
        DecoderVersions other = DecoderBuiltVersions();
        other.*field += 1;
        EXPECT_EQ(StartDecoder(other), DecoderStartResult::WrongVersion);
    }
    EXPECT_EQ(StartDecoder(DecoderBuiltVersions()), DecoderStartResult::Ok);
    StopDecoder();
    CDecoderSession session;
    EXPECT_EQ(session.result(), DecoderStartResult::Ok);
    EXPECT_STREQ(kDecoderInitFailedText, "Failed to initialize the software (0x0002020).");
}

}  // namespace
}  // namespace tonvela
