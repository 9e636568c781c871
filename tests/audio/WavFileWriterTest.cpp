// The WAV writer: header bytes worked out by hand, files read back by sox, ffprobe and our reader.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "audio/WavAudioSource.h"
#include "audio/WavFileWriter.h"

namespace tonvela {
namespace {

using test::RunCommand;
using test::TempDir;

std::uint32_t Le32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(WavFileWriterTest, HeaderAndPatchedSizes) {
    TempDir dir;
    const std::string path = dir.File("rec.wav");
    CWavFileWriter w;
    ASSERT_TRUE(w.Create(path, true, 16, 44100));
    // Before Finish both sizes are placeholders.
    std::vector<std::uint8_t> early = test::ReadFileBytes(path);
    ASSERT_EQ(early.size(), 44u);
    EXPECT_EQ(Le32At(early, 4), 4u);
    EXPECT_EQ(Le32At(early, 40), 4u);
    std::vector<std::uint8_t> data(88200);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(w.Write(data.data(), 50000));
    ASSERT_TRUE(w.Write(data.data() + 50000, data.size() - 50000));
    EXPECT_TRUE(w.Finish());
    EXPECT_TRUE(w.Finish());  // second time: nothing open, harmless

    const std::vector<std::uint8_t> b = test::ReadFileBytes(path);
    ASSERT_EQ(b.size(), 88244u);
    const std::vector<std::uint8_t> expected = {
        'R', 'I', 'F', 'F', 0xAC, 0x58, 0x01, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,  // 176400 bytes/s
        4, 0, 16, 0, 'd', 'a', 't', 'a', 0x88, 0x58, 0x01, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 44), expected);
    EXPECT_EQ(Le32At(b, 4), 88236u);
    EXPECT_EQ(Le32At(b, 40), 88200u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), b.begin() + 44));
}

TEST(WavFileWriterTest, EmptyFileAndFailures) {
    TempDir dir;
    const std::string path = dir.File("empty.wav");
    {
        CWavFileWriter w;
        ASSERT_TRUE(w.Create(path, false, 8, 11025));
    }  // the destructor finishes
    const std::vector<std::uint8_t> b = test::ReadFileBytes(path);
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(Le32At(b, 4), 36u);
    EXPECT_EQ(Le32At(b, 40), 0u);
    EXPECT_EQ(Le32At(b, 28), 11025u);
    EXPECT_EQ(b[32], 1);

    CWavFileWriter w;
    EXPECT_FALSE(w.Write("x", 1));  // nothing open
    EXPECT_FALSE(w.Create(dir.File("no/such/folder.wav"), true, 16, 44100));
    EXPECT_FALSE(w.Create(dir.File("odd.wav"), true, 12, 44100));
    EXPECT_FALSE(w.IsOpen());
    if (std::ifstream("/dev/full").good()) {
        ASSERT_TRUE(w.Create("/dev/full", true, 16, 44100) == false || !w.Write(b.data(), b.size()) || !w.Finish());
    }
}

// A disk that fills up in the middle of a frame: the whole frames before it stay a valid WAV
// that sox reads, and nothing written afterwards is taken. The file-size limit stands in for the
// full disk (the write returns short, then fails, exactly as with ENOSPC).
TEST(WavFileWriterTest, FullDiskKeepsWholeFramesPlayable) {
    TempDir dir;
    const std::string path = dir.File("full.wav");
    std::vector<std::uint8_t> data(4000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 5);

    CWavFileWriter w;
    ASSERT_TRUE(w.Create(path, true, 16, 44100));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 44 + 1001;  // 250 stereo frames and one byte of the next
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool firstWrite = w.Write(data.data(), data.size());
    const bool laterWrite = w.Write(data.data(), 4);
    const bool finished = w.Finish();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(firstWrite);
    EXPECT_FALSE(laterWrite);
    EXPECT_FALSE(finished);  // the caller learns that the file is not all it was given

    const std::vector<std::uint8_t> b = test::ReadFileBytes(path);
    ASSERT_EQ(b.size(), 44u + 1000u);
    EXPECT_EQ(Le32At(b, 4), 1036u);
    EXPECT_EQ(Le32At(b, 40), 1000u);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 1000, b.begin() + 44));
    if (test::HaveTool("sox")) {
        const std::string soxOut = dir.File("sox.txt");
        ASSERT_EQ(RunCommand({"sox", "--i", "-s", path}, soxOut), 0);
        const std::vector<std::uint8_t> soxText = test::ReadFileBytes(soxOut);
        EXPECT_EQ(std::stoi(std::string(soxText.begin(), soxText.end())), 250);
    }
}

// A writer killed between writes (a crash mid-recording) leaves a file whose header already
// describes every frame written up to the last size update, and nothing after it; sox reads it.
TEST(WavFileWriterTest, KilledWriterLeavesTheUpdatedSizes) {
    TempDir dir;
    const std::string path = dir.File("killed.wav");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CWavFileWriter w;
        std::vector<std::uint8_t> frames(4 * 1000, 0x11);
        const bool ok = w.Create(path, true, 16, 8000) && w.Write(frames.data(), frames.size()) && w.UpdateSizes() &&
                        w.Write(frames.data(), 4 * 300);  // written, sizes not yet updated
        if (ok) raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child failed before its kill";
    const std::vector<std::uint8_t> b = test::ReadFileBytes(path);
    ASSERT_EQ(b.size(), 44u + 4 * 1300);
    EXPECT_EQ(Le32At(b, 4), 36u + 4 * 1000);
    EXPECT_EQ(Le32At(b, 40), 4u * 1000);
    if (test::HaveTool("sox")) {
        const std::string soxOut = dir.File("sox.txt");
        ASSERT_EQ(RunCommand({"sox", "--i", "-s", path}, soxOut), 0);
        const std::vector<std::uint8_t> soxText = test::ReadFileBytes(soxOut);
        EXPECT_EQ(std::stoi(std::string(soxText.begin(), soxText.end())), 1000);
    }
}

// sox and ffprobe must agree with what we wrote; our reader must give the samples back.
TEST(WavFileWriterTest, ReadBackByIndependentTools) {
    if (!test::HaveTool("sox") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "sox and ffprobe are needed";
    TempDir dir;
    struct Case {
        bool stereo;
        int bits;
        int rate;
        const char* codec;
    };
    for (const Case& c : {Case{true, 16, 22050, "pcm_s16le"}, Case{false, 8, 8000, "pcm_u8"}}) {
        SCOPED_TRACE(c.codec);
        const std::string path = dir.File(std::string(c.codec) + ".wav");
        const int channels = c.stereo ? 2 : 1;
        const int frames = c.rate / 2 + 3;
        std::vector<std::uint8_t> data(static_cast<std::size_t>(frames * channels * c.bits / 8));
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 13) ^ (i >> 3));
        CWavFileWriter w;
        ASSERT_TRUE(w.Create(path, c.stereo, c.bits, c.rate));
        ASSERT_TRUE(w.Write(data.data(), data.size()));
        ASSERT_TRUE(w.Finish());

        const std::string soxOut = dir.File("sox.txt");
        ASSERT_EQ(RunCommand({"sox", "--i", "-s", path}, soxOut), 0);
        const std::vector<std::uint8_t> soxText = test::ReadFileBytes(soxOut);
        EXPECT_EQ(std::stoi(std::string(soxText.begin(), soxText.end())), frames);

        const std::string probeOut = dir.File("probe.txt");
        ASSERT_EQ(RunCommand({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name,channels,sample_rate,duration_ts",
                              "-of", "default=noprint_wrappers=1", path},
                             probeOut),
                  0);
        const std::vector<std::uint8_t> probeBytes = test::ReadFileBytes(probeOut);
        const std::string probe(probeBytes.begin(), probeBytes.end());
        EXPECT_NE(probe.find(std::string("codec_name=") + c.codec), std::string::npos) << probe;
        EXPECT_NE(probe.find("sample_rate=" + std::to_string(c.rate)), std::string::npos) << probe;
        EXPECT_NE(probe.find("channels=" + std::to_string(channels)), std::string::npos) << probe;
        EXPECT_NE(probe.find("duration_ts=" + std::to_string(frames)), std::string::npos) << probe;

        CWavAudioSource wav;
        ASSERT_TRUE(wav.Open(path, 0));
        EXPECT_EQ(wav.GetOutputChannels(), channels);
        EXPECT_EQ(wav.GetBitsPerSample(), c.bits);
        std::vector<std::uint8_t> back(data.size());
        std::size_t got = 0;
        for (std::size_t n; (n = wav.ReadData(back.data() + got, 1000 < back.size() - got ? 1000 : back.size() - got)) > 0;) got += n;
        EXPECT_EQ(got, data.size());
        EXPECT_EQ(back, data);
    }
}

}  // namespace
}  // namespace tonvela
