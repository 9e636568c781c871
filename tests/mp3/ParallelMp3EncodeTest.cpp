// A sound encoded in pieces on several threads must give the stream one encoder gives: the same
// frame count, every frame's data inside the stream, decodable by ffmpeg, and no worse sound.
// Inputs are made by sox; ffmpeg decodes; the pieces are short so that every case has joins.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <memory>
#include <system_error>
#include <thread>
#include <string>
#include <vector>

#include "convert/ConvertTestUtil.h"
#include "mp3/Mp3Splice.h"
#include "mp3/ParallelMp3Encode.h"
#include "platform/UniqueFd.h"

namespace tonvela {
namespace {

using test::DecodeWithFfmpeg;
using test::ReadFileBytes;
using test::RunCommand;

// Short pieces, so that every sound has several joins.
ParallelEncodeSeams Pieces(int seconds, ThreadStarter start = {}) {
    ParallelEncodeSeams seams;
    seams.chunkSeconds = seconds;
    seams.start = std::move(start);
    return seams;
}

struct Case {
    const char* name;
    int inRate, outRate, kbps, channels;
    const char* signal;  // "music": held chords that swell and fade; "speech": bursts of band-limited noise
};

// Windows of 20 ms over the source mixed to one channel: per-window SNR of a decode.
std::vector<double> WindowSnr(const std::vector<std::int16_t>& src, const std::vector<std::int16_t>& dec,
                              std::size_t delay, std::size_t window, std::vector<bool>& audible) {
    std::vector<double> snr;
    audible.clear();
    for (std::size_t i = 0; i + window <= src.size() && delay + i + window <= dec.size(); i += window) {
        double p = 0, e = 0;
        for (std::size_t k = i; k < i + window; ++k) {
            const double d = static_cast<double>(src[k]) - dec[delay + k];
            p += static_cast<double>(src[k]) * src[k];
            e += d * d;
        }
        // Below -50 dBFS the error is rounding, not coding: those windows say nothing.
        audible.push_back(p / static_cast<double>(window) > 32768.0 * 32768.0 * 1e-5);
        snr.push_back(10 * std::log10((p + 1e-9) / (e + 1e-9)));
    }
    return snr;
}

std::size_t BestDelay(const std::vector<std::int16_t>& src, const std::vector<std::int16_t>& dec, int rate) {
    std::size_t best = 0;
    double bestError = -1;
    const std::size_t n = std::min<std::size_t>(src.size(), static_cast<std::size_t>(rate) * 3);
    for (std::size_t d = 0; d < 4000 && d + n <= dec.size(); ++d) {
        double e = 0;
        for (std::size_t k = 0; k < n; k += 3) e += std::pow(static_cast<double>(src[k]) - dec[d + k], 2);
        if (bestError < 0 || e < bestError) bestError = e, best = d;
    }
    return best;
}

class ParallelMp3Encode : public ::testing::TestWithParam<Case> {};

TEST_P(ParallelMp3Encode, JoinsIntoTheStreamOneEncoderMakes) {
    const Case c = GetParam();
    test::TempDir dir;
    const std::string wav = dir.File("in.wav");
    std::vector<std::string> sox = {"sox", "-R", "-n", "-r", std::to_string(c.inRate), "-c", std::to_string(c.channels),
                                    "-b", "16", wav, "synth", "40"};
    if (std::string(c.signal) == "music")
        for (const char* a : {"sine", "220", "sine", "277", "sine", "330", "tremolo", "0.7", "70", "gain", "-6"})
            sox.emplace_back(a);
    else
        for (const char* a : {"pinknoise", "tremolo", "3", "95", "bandpass", "1000", "2000", "gain", "-6"})
            sox.emplace_back(a);
    ASSERT_EQ(RunCommand(sox), 0);
    // One raw file per channel, as the conversion keeps them.
    std::vector<CUniqueFd> fds;
    fds.reserve(2);
    PcmChannelFiles pcm;
    for (int ch = 1; ch <= c.channels; ++ch) {
        const std::string raw = dir.File("ch" + std::to_string(ch) + ".raw");
        ASSERT_EQ(RunCommand({"sox", wav, "-t", "raw", "-e", "signed", "-b", "16", raw, "remix", std::to_string(ch)}), 0);
        fds.emplace_back(::open(raw.c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fds.back().IsOpen());
        (ch == 1 ? pcm.left : pcm.right) = fds.back().Get();
        pcm.samples = ReadFileBytes(raw).size() / 2;
    }
    const Mp3EncoderSetup setup{c.channels, c.inRate, {c.outRate, c.kbps, false}};

    // The reference: one encoder over everything.
    const std::string single = dir.File("single.mp3"), parallel = dir.File("parallel.mp3");
    {
        CMp3Encoder enc;
        ASSERT_TRUE(enc.Open(single) && enc.SetUp(setup));
        std::vector<std::int16_t> l(4608), r(4608);
        for (std::uint64_t s = 0; s < pcm.samples; s += 4608) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(4608, pcm.samples - s));
            ASSERT_EQ(::pread(pcm.left, l.data(), n * 2, static_cast<off_t>(s * 2)), static_cast<ssize_t>(n * 2));
            if (pcm.right >= 0) {
                ASSERT_EQ(::pread(pcm.right, r.data(), n * 2, static_cast<off_t>(s * 2)), static_cast<ssize_t>(n * 2));
            }
            ASSERT_TRUE(enc.Encode(l.data(), pcm.right >= 0 ? r.data() : nullptr, static_cast<int>(n)));
        }
        ASSERT_TRUE(enc.Close());
    }
    std::uint64_t lastPoll = 0;
    ASSERT_EQ(EncodeMp3InParallel(pcm, setup, parallel, 3, [&](std::uint64_t done) { lastPoll = done; return true; }, Pieces(12)),
              ParallelEncodeResult::Done);
    EXPECT_LE(lastPoll, pcm.samples);

    // Every frame parses and its data lies within the stream; the frame count is one encoder's.
    Mp3FrameIndex a, b;
    ASSERT_TRUE(IndexMp3Frames(ReadFileBytes(single), a));
    ASSERT_TRUE(IndexMp3Frames(ReadFileBytes(parallel), b));
    EXPECT_EQ(b.frames.size(), a.frames.size());

    EXPECT_EQ(RunCommand({"ffmpeg", "-v", "error", "-xerror", "-i", parallel, "-f", "null", "-"}), 0);
    const std::vector<std::int16_t> src = DecodeWithFfmpeg(wav, dir.File("src.raw"));
    const std::vector<std::int16_t> da = DecodeWithFfmpeg(single, dir.File("a.raw"), c.inRate);
    const std::vector<std::int16_t> db = DecodeWithFfmpeg(parallel, dir.File("b.raw"), c.inRate);
    ASSERT_FALSE(src.empty());
    ASSERT_EQ(db.size(), da.size());

    // As good as one encoder: the same mean SNR, and no window near silence at a join (a click
    // there costs tens of dB). Windows differ both ways where the encoders' bit reservoirs
    // differ after a join, so single windows are held to a loose bound and the share of windows
    // more than 1 dB worse to a small one.
    const std::size_t delay = BestDelay(src, da, c.inRate);
    std::vector<bool> audible, unused;
    const std::vector<double> sa = WindowSnr(src, da, delay, static_cast<std::size_t>(c.inRate) / 50, audible);
    const std::vector<double> sb = WindowSnr(src, db, delay, static_cast<std::size_t>(c.inRate) / 50, unused);
    double meanA = 0, meanB = 0, worst = 0;
    std::size_t counted = 0, worse = 0;
    for (std::size_t i = 0; i < sa.size(); ++i) {
        if (!audible[i]) continue;
        ++counted;
        meanA += sa[i];
        meanB += sb[i];
        worst = std::min(worst, sb[i] - sa[i]);
        if (sb[i] < sa[i] - 1) ++worse;
    }
    ASSERT_GT(counted, sa.size() / 2);
    EXPECT_NEAR(meanB / static_cast<double>(counted), meanA / static_cast<double>(counted), 0.25);
    EXPECT_GT(worst, -8.0);
    EXPECT_LT(static_cast<double>(worse), 0.05 * static_cast<double>(counted));
}

INSTANTIATE_TEST_SUITE_P(
    RatesModesBitRates, ParallelMp3Encode,
    ::testing::Values(Case{"music44stereo128", 44100, 44100, 128, 2, "music"},
                      Case{"speech44stereo32", 44100, 44100, 32, 2, "speech"},
                      Case{"music48to44stereo320", 48000, 44100, 320, 2, "music"},
                      Case{"speech22mono96", 22050, 22050, 96, 1, "speech"},
                      Case{"music8to22mono48", 8000, 22050, 48, 1, "music"},
                      Case{"speech32stereo64", 32000, 32000, 64, 2, "speech"},
                      Case{"music44to22stereo160", 44100, 22050, 160, 2, "music"},
                      Case{"speech8mono16", 8000, 8000, 16, 1, "speech"},
                      Case{"music8mono24", 8000, 8000, 24, 1, "music"}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// Workers the system refuses to start (EAGAIN under a process limit): those that did start
// share the chunks and make the very stream all of them make; with none, the caller is told to
// encode alone. Nothing waits forever.
TEST(ParallelMp3EncodeThreads, FewerStartedWorkersGiveTheSameStream) {
    test::TempDir dir;
    const std::string raw = dir.File("in.raw");
    ASSERT_EQ(RunCommand({"sox", "-R", "-n", "-r", "22050", "-c", "1", "-b", "16", "-e", "signed", "-t", "raw", raw,
                          "synth", "40", "sine", "220", "sine", "330", "tremolo", "0.7", "70", "gain", "-6"}),
              0);
    CUniqueFd fd(::open(raw.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.IsOpen());
    const PcmChannelFiles pcm{fd.Get(), -1, 0, ReadFileBytes(raw).size() / 2};
    const Mp3EncoderSetup setup{1, 22050, {22050, 32, false}};
    auto startingOnly = [](int allowed) {
        return ThreadStarter([n = std::make_shared<std::atomic<int>>(0), allowed](std::function<void()> body) {
            if ((*n)++ >= allowed) throw std::system_error(EAGAIN, std::generic_category());
            return std::jthread(std::move(body));
        });
    };
    auto poll = [](std::uint64_t) { return true; };
    const std::string all = dir.File("all.mp3");
    ASSERT_EQ(EncodeMp3InParallel(pcm, setup, all, 4, poll, Pieces(6)), ParallelEncodeResult::Done);
    for (const int allowed : {2, 1}) {
        SCOPED_TRACE(allowed);
        const std::string some = dir.File("some.mp3");
        ASSERT_EQ(EncodeMp3InParallel(pcm, setup, some, 4, poll, Pieces(6, startingOnly(allowed))), ParallelEncodeResult::Done);
        EXPECT_EQ(ReadFileBytes(some), ReadFileBytes(all));
    }
    EXPECT_EQ(EncodeMp3InParallel(pcm, setup, dir.File("none.mp3"), 4, poll, Pieces(6, startingOnly(0))),
              ParallelEncodeResult::NoThreads);
}

// No join found onto the last chunk: the encoder before it makes the rest of the sound, and this
// thread's own encoding there still polls at least once a second of sound. A read that fails or
// a cancel while it does so is said as such, never as "no join" (which would re-encode it all).
TEST(ParallelMp3EncodeJoins, ALastJoinNeverFoundIsMadeByTheChunkBefore) {
    test::TempDir dir;
    const std::string raw = dir.File("in.raw");
    const int rate = 22050;
    ASSERT_EQ(RunCommand({"sox", "-R", "-n", "-r", std::to_string(rate), "-c", "1", "-b", "16", "-e", "signed", "-t",
                          "raw", raw, "synth", "40", "pinknoise", "tremolo", "3", "95", "gain", "-6"}),
              0);
    CUniqueFd fd(::open(raw.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.IsOpen());
    const PcmChannelFiles pcm{fd.Get(), -1, 0, ReadFileBytes(raw).size() / 2};
    const Mp3EncoderSetup setup{1, rate, {rate, 32, false}};
    const std::string single = dir.File("single.mp3");
    {
        CMp3Encoder enc;
        ASSERT_TRUE(enc.Open(single) && enc.SetUp(setup));
        const std::vector<std::uint8_t> bytes = ReadFileBytes(raw);
        const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.data());
        for (std::uint64_t s = 0; s < pcm.samples; s += 4608)
            ASSERT_TRUE(enc.Encode(samples + s, nullptr, static_cast<int>(std::min<std::uint64_t>(4608, pcm.samples - s))));
        ASSERT_TRUE(enc.Close());
    }
    Mp3FrameIndex reference;
    ASSERT_TRUE(IndexMp3Frames(ReadFileBytes(single), reference));

    enum class Fault { None, ReadFails, Cancelled };
    struct Row {
        Fault fault;
        ParallelEncodeResult expected;
    };
    for (const Row row : {Row{Fault::None, ParallelEncodeResult::Done}, Row{Fault::ReadFails, ParallelEncodeResult::Failed},
                          Row{Fault::Cancelled, ParallelEncodeResult::Cancelled}}) {
        SCOPED_TRACE(static_cast<int>(row.fault));
        // Only this thread reads while it widens a join; the workers read on theirs.
        const std::thread::id self = std::this_thread::get_id();
        std::uint64_t ownSamples = 0, sinceLastPoll = 0, mostBetweenPolls = 0;
        ParallelEncodeSeams seams;
        seams.chunkSeconds = 6;
        seams.mayJoin = [](std::size_t k, std::size_t chunks) { return k + 1 < chunks; };
        seams.read = [&](int f, void* to, std::size_t n, off_t at) -> ssize_t {
            if (std::this_thread::get_id() == self) {
                if (row.fault == Fault::ReadFails) {
                    errno = EIO;
                    return -1;
                }
                ownSamples += n / 2;
                sinceLastPoll += n / 2;
                mostBetweenPolls = std::max(mostBetweenPolls, sinceLastPoll);
            }
            return ::pread(f, to, n, at);
        };
        auto poll = [&](std::uint64_t) {
            sinceLastPoll = 0;
            return !(row.fault == Fault::Cancelled && ownSamples > 0);
        };
        const std::string out = dir.File("parallel.mp3");
        ASSERT_EQ(EncodeMp3InParallel(pcm, setup, out, 3, poll, seams), row.expected);
        EXPECT_LE(mostBetweenPolls, static_cast<std::uint64_t>(rate));
        if (row.fault != Fault::None) continue;
        // The chunk before the last one ran on through the last chunk (about 4 s).
        EXPECT_GT(ownSamples, static_cast<std::uint64_t>(rate) * 3);
        Mp3FrameIndex got;
        ASSERT_TRUE(IndexMp3Frames(ReadFileBytes(out), got));
        EXPECT_EQ(got.frames.size(), reference.frames.size());
        EXPECT_EQ(RunCommand({"ffmpeg", "-v", "error", "-xerror", "-i", out, "-f", "null", "-"}), 0);
    }
}

TEST(Mp3Splice, FramesThatCannotBeJoinedAreRefused) {
    test::TempDir dir;
    const std::string wav = dir.File("in.wav"), mp3 = dir.File("in.mp3");
    ASSERT_EQ(RunCommand({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "3", "pinknoise"}), 0);
    ASSERT_EQ(RunCommand({"lame", "--quiet", "-b", "128", "--cbr", "-t", wav, mp3}), 0);
    std::vector<std::uint8_t> bytes = ReadFileBytes(mp3);
    Mp3FrameIndex whole;
    ASSERT_TRUE(IndexMp3Frames(bytes, whole));
    // From the first frame on that takes bytes from its predecessors, the stream is incomplete.
    std::size_t f = 1;
    while (f < whole.frames.size() && whole.frames[f].mainDataBegin == 0) ++f;
    ASSERT_LT(f, whole.frames.size());
    std::vector<std::uint8_t> cut(bytes.begin() + static_cast<std::ptrdiff_t>(whole.frames[f].offset), bytes.end());
    Mp3FrameIndex rest;
    EXPECT_FALSE(IndexMp3Frames(cut, rest));
    EXPECT_TRUE(IndexMp3Frames(cut, rest, static_cast<std::size_t>(whole.frames[f].mainDataBegin)));

    // Pieces are joined only when all their frames have the first one's channels and rate.
    for (const std::vector<std::string>& other : {std::vector<std::string>{"-m", "m"}, {"--resample", "48"}}) {
        SCOPED_TRACE(other[0]);
        std::vector<std::string> cmd = {"lame", "--quiet", "-b", "128", "--cbr", "-t"};
        cmd.insert(cmd.end(), other.begin(), other.end());
        const std::string otherMp3 = dir.File("other.mp3");
        cmd.insert(cmd.end(), {wav, otherMp3});
        ASSERT_EQ(RunCommand(cmd), 0);
        const std::vector<std::uint8_t> tail = ReadFileBytes(otherMp3);
        Mp3FrameIndex alone, mixed;
        ASSERT_TRUE(IndexMp3Frames(tail, alone));
        std::vector<std::uint8_t> joined = bytes;
        joined.insert(joined.end(), tail.begin(), tail.end());
        EXPECT_FALSE(IndexMp3Frames(joined, mixed));
    }
}

}  // namespace
}  // namespace tonvela
