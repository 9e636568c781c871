#include "audio/MpegStreamLength.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "audio/BassTestFiles.h"
#include "platform/UniqueFd.h"

namespace tonvela {
namespace {

// Audio packets ffprobe's demuxer finds in a file (a Xing/Info frame is not one).
std::uint64_t FfprobePackets(const test::TempDir& dir, const std::string& path) {
    const std::string out = dir.File("packets.txt");
    if (test::RunCommand({"ffprobe", "-v", "error", "-select_streams", "a:0", "-count_packets", "-show_entries",
                          "stream=nb_read_packets", "-of", "csv=p=0", path},
                         out) != 0)
        return 0;
    std::ifstream in(out);
    std::uint64_t n = 0;
    in >> n;
    return n;
}

void Append(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(bytes.data()),
                                                                static_cast<std::streamsize>(bytes.size()));
}

std::optional<MpegStreamLength> Measure(const std::string& path, std::uint64_t scanBytes = kMpegScanBytes) {
    const CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return MeasureMpegStream(fd.Get(), scanBytes);
}

// Whatever follows the last frame, the length is that of the frames ffprobe counts in the file
// without it, and the frames end where that file ends.
TEST(MpegStreamLength, CountsTheFramesThatAreThereWhateverFollows) {
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "needs ffmpeg";
    test::TempDir dir;
    const struct {
        const char* name;
        int channels, rate, samplesPerFrame;
        std::vector<std::string> args;
    } streams[] = {
        {"info.mp3", 2, 44100, 1152, {"-c:a", "libmp3lame", "-b:a", "128k"}},
        {"notag.mp3", 1, 22050, 576, {"-c:a", "libmp3lame", "-b:a", "32k", "-write_xing", "0", "-id3v2_version", "0"}},
        {"xing.mp3", 2, 48000, 1152, {"-c:a", "libmp3lame", "-q:a", "2"}},
        {"layer2.mp2", 1, 32000, 1152, {"-c:a", "mp2", "-b:a", "96k"}},
    };
    std::mt19937 random(31);
    std::vector<std::uint8_t> junk(300000);
    for (auto& b : junk) b = static_cast<std::uint8_t>(random());
    struct Tail {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool sound;  // a second copy of the file: its frames count too
    };
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        const std::string clean = dir.File(s.name);
        ASSERT_TRUE(test::EncodeWithFfmpeg(clean, s.channels, s.rate, 2.5, s.args));
        const std::uint64_t packets = FfprobePackets(dir, clean);
        ASSERT_GT(packets, 50u);
        const Tail tails[] = {
            {"nothing", {}, false},
            {"zeros", std::vector<std::uint8_t>(3u << 20, 0), false},
            {"0xFF bytes", std::vector<std::uint8_t>(100000, 0xFF), false},
            {"random bytes", junk, false},
            {"the file again", test::ReadFileBytes(clean), true},
        };
        for (const Tail& t : tails) {
            SCOPED_TRACE(t.what);
            const std::string path = dir.File(std::string("tail-") + s.name);
            std::filesystem::copy_file(clean, path, std::filesystem::copy_options::overwrite_existing);
            Append(path, t.bytes);
            const std::optional<MpegStreamLength> m = Measure(path);
            ASSERT_TRUE(m.has_value());
            const std::uint64_t frames = t.sound ? FfprobePackets(dir, path) : packets;
            EXPECT_EQ(m->samples, frames * static_cast<std::uint64_t>(s.samplesPerFrame));
            EXPECT_EQ(m->sampleRate, s.rate);
            EXPECT_EQ(m->end, std::filesystem::file_size(t.sound ? path : clean));
            EXPECT_TRUE(m->counted);
        }
    }
}

// A stream longer than the scan reads: its end is still found, and its middle estimated from the
// frames read (frames of one constant bit rate: to within a frame or two per probe window).
TEST(MpegStreamLength, LongStreamEndIsFoundWithoutReadingItAll) {
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "needs ffmpeg";
    test::TempDir dir;
    const std::string piece = dir.File("piece.mp3"), path = dir.File("long.mp3");
    ASSERT_TRUE(test::EncodeWithFfmpeg(piece, 1, 44100, 1.0,
                                       {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0"}));
    const std::uint64_t packets = FfprobePackets(dir, piece);
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(piece);
    ASSERT_GT(packets, 30u);
    constexpr int kCopies = 200;  // about 3 MB of frames
    for (int i = 0; i < kCopies; ++i) Append(path, bytes);
    Append(path, std::vector<std::uint8_t>(1u << 20, 0));
    const double frames = static_cast<double>(packets) * kCopies;
    for (const std::uint64_t budget : {std::uint64_t{64} << 10, std::uint64_t{1} << 20}) {
        SCOPED_TRACE(budget);
        const std::optional<MpegStreamLength> m = Measure(path, budget);
        ASSERT_TRUE(m.has_value());
        EXPECT_FALSE(m->counted);
        EXPECT_NEAR(static_cast<double>(m->samples) / 1152.0, frames, frames * 0.002);
        EXPECT_EQ(m->end, bytes.size() * kCopies);
    }
    // With room to read it all, every frame is counted.
    const std::optional<MpegStreamLength> all = Measure(path);
    ASSERT_TRUE(all.has_value());
    EXPECT_TRUE(all->counted);
    EXPECT_EQ(all->samples, packets * kCopies * 1152u);
}

TEST(MpegStreamLength, NoFramesNoLength) {
    test::TempDir dir;
    const std::string path = dir.File("zeros.mp3");
    Append(path, std::vector<std::uint8_t>(200000, 0));
    EXPECT_FALSE(Measure(path).has_value());
    // An ID3v2 tag whose size runs past the end, then nothing.
    const std::string tag = dir.File("tag.mp3");
    Append(tag, {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 0xFF, 0xFB, 0x90, 0x64});
    EXPECT_FALSE(Measure(tag).has_value());
}

}  // namespace
}  // namespace tonvela
