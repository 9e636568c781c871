#include "mp3/ParallelMp3Encode.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>
#include <vector>

#include "mp3/Mp3Splice.h"
#include "platform/ThreadStarter.h"
#include "platform/UniqueFile.h"

namespace tonvela {

namespace {

// Frames an encoder runs before the frames taken from it: long enough for its analysis and
// window decisions to be those of an encoder that saw everything before.
constexpr std::uint64_t kPrerollFrames = 16;
// Frames in which a join is first looked for; the earlier encoder runs a little past them.
constexpr std::uint64_t kSearchFrames = 24;
constexpr std::uint64_t kMarginFrames = 4;
// Where no join is found, the earlier encoder goes on by this many frames at a time, up to the
// limit. Two encoders that meet with different reservoirs agree again once a demanding passage
// has drained both, which rarely takes more than a few seconds.
constexpr std::uint64_t kWidenFrames = 48;
constexpr std::uint64_t kWidenLimitFrames = 48 * 40;
// Seconds of sound per chunk, at most; shorter when that gives the encoders too little to share.
constexpr std::uint64_t kChunkSeconds = 40;
// Sounds shorter than this are encoded on one thread: below it the overlaps and thread start-up
// cost more than the second core gains.
constexpr std::uint64_t kParallelMinSeconds = 20;
constexpr std::size_t kReadSamples = 4608;

struct ChunkPlan {
    std::uint64_t firstFrame = 0;  // global index of the encoder's first frame
    std::uint64_t joinFrom = 0;    // global frames where the join with the chunk before is looked for
    std::uint64_t inputStart = 0;  // input samples
    std::uint64_t inputEnd = 0;
};

// One encoder's work. Its encoder stays open (unflushed) until the input's end, so that it can
// go on when the join after it needs more frames; what it returned so far is final.
struct Chunk {
    bool done = false;
    bool ok = false;
    std::unique_ptr<CMp3Encoder> encoder;
    std::uint64_t inputNext = 0;  // next input sample to encode
    Mp3Stream raw;                // complete frames so far
    std::size_t joinAt = 0;       // global frame from which its frames are used
    std::size_t freeBefore = 0;   // reservoir bytes the stream before it left for those frames
};

// Input samples that map onto whole output frames: frames are cut only where both the input
// and the resampled output positions are whole numbers, so every encoder's resampler starts in
// step with a single encoder's.
struct FrameGrid {
    std::uint64_t inPerGroup = 0;   // input samples per group of unitFrames output frames
    std::uint64_t unitFrames = 0;
    std::uint64_t spf = 0;
    std::uint64_t inRate = 0, outRate = 0;

    std::uint64_t InputAt(std::uint64_t frame) const {  // frame must be a multiple of unitFrames
        return frame / unitFrames * inPerGroup;
    }
    // Sounds are below 2^33 samples and rates below 2^20 Hz: the products fit 64 bits.
    std::uint64_t InputCeil(std::uint64_t frame) const { return (frame * spf * inRate + outRate - 1) / outRate; }
    std::uint64_t FramesIn(std::uint64_t inputSamples) const { return inputSamples * outRate / inRate / spf; }
    std::uint64_t RoundUp(std::uint64_t frames) const { return (frames + unitFrames - 1) / unitFrames * unitFrames; }
};

std::optional<FrameGrid> MakeGrid(int inRate, int outRate, int spf) {
    if (inRate < 1 || outRate < 1 || spf < 1) return std::nullopt;
    FrameGrid g;
    g.inRate = static_cast<std::uint64_t>(inRate);
    g.outRate = static_cast<std::uint64_t>(outRate);
    g.spf = static_cast<std::uint64_t>(spf);
    const std::uint64_t d = std::gcd(g.inRate, g.outRate);
    const std::uint64_t a = g.inRate / d, b = g.outRate / d;
    g.unitFrames = b / std::gcd(g.spf, b);
    g.inPerGroup = g.unitFrames * g.spf / b * a;
    return g;
}

std::vector<ChunkPlan> PlanChunks(const FrameGrid& grid, std::uint64_t samples, int threads, std::uint64_t seconds) {
    const std::uint64_t totalFrames = grid.FramesIn(samples);
    const std::uint64_t pre = grid.RoundUp(kPrerollFrames);
    std::uint64_t chunk = std::min<std::uint64_t>(seconds * grid.outRate / grid.spf,
                                                  (totalFrames + static_cast<std::uint64_t>(threads) - 1) /
                                                      static_cast<std::uint64_t>(threads));
    chunk = grid.RoundUp(std::max<std::uint64_t>(chunk, 2 * (pre + kSearchFrames + kMarginFrames + kWidenFrames)));

    std::vector<ChunkPlan> plan(1);
    // A boundary needs room after it for the search and the earlier encoder's run-on.
    for (std::uint64_t c = chunk; c + kSearchFrames + kMarginFrames + pre < totalFrames; c += chunk) {
        ChunkPlan p;
        p.firstFrame = c - pre;
        p.joinFrom = c;
        p.inputStart = grid.InputAt(c - pre);
        plan.push_back(p);
    }
    for (std::size_t k = 0; k < plan.size(); ++k) {
        plan[k].inputEnd = k + 1 < plan.size()
                               ? std::min(samples, grid.InputCeil(plan[k + 1].joinFrom + kSearchFrames + kMarginFrames))
                               : samples;
    }
    return plan;
}

using Poll = std::function<bool(std::uint64_t)>;
using ReadFn = std::function<ssize_t(int, void*, std::size_t, off_t)>;

bool ReadSamples(const ReadFn& read, int fd, std::uint64_t sample, std::int16_t* out, std::size_t count) {
    auto* dst = reinterpret_cast<unsigned char*>(out);
    std::size_t want = count * 2;
    auto offset = static_cast<off_t>(sample * 2);
    while (want > 0) {
        const ssize_t n = read ? read(fd, dst, want, offset) : ::pread(fd, dst, want, offset);
        if (n <= 0) return false;
        dst += n;
        want -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

class ParallelRun {
public:
    ParallelRun(const PcmChannelFiles& pcm, const Mp3EncoderSetup& setup, const FrameGrid& grid,
                std::vector<ChunkPlan> plan, int threads, const ParallelEncodeSeams& seams)
        : pcm_(pcm), setup_(setup), grid_(grid), plan_(std::move(plan)), chunks_(plan_.size()),
          window_(static_cast<std::size_t>(threads) + 1), seams_(seams) {}

    ParallelEncodeResult Run(const std::string& mp3Path, int threads, const Poll& poll);

private:
    enum class JoinOutcome { Joined, RanToEnd, NoJoin, Failed, Cancelled };

    void Work();
    // Encodes input up to `end` (flushing at the input's end) and indexes what came out. With
    // poll (this thread's own encoding), poll is called after every second of sound at most.
    bool Encode(Chunk& c, std::uint64_t end, const Poll* poll = nullptr);
    bool Start(const ChunkPlan& plan, Chunk& c);
    // Waits for chunk k, calling poll meanwhile.
    bool WaitFor(std::size_t k, const Poll& poll, ParallelEncodeResult& why);
    // Joins chunk k onto chunk k-1, letting chunk k-1 run on where needed: Joined sets joinFrame.
    // Where k is the last chunk and no join is found, chunk k-1 runs on to the input's end
    // (RanToEnd): it then holds everything that chunk k would have given.
    JoinOutcome Join(std::size_t k, std::size_t written, Mp3Stream& earlierView, const Poll& poll,
                     std::size_t& joinFrame);
    // Chunk k's frames as they follow the stream before it.
    Mp3Stream Relaid(std::size_t k) const {
        const Chunk& c = chunks_[k];
        return k == 0 ? c.raw : RelayMp3Frames(c.raw, c.joinAt, c.freeBefore).stream;
    }

    const PcmChannelFiles& pcm_;
    const Mp3EncoderSetup& setup_;
    const FrameGrid grid_;
    const std::vector<ChunkPlan> plan_;
    std::vector<Chunk> chunks_;
    const std::size_t window_;  // chunks encoded ahead of the one being joined, at most
    const ParallelEncodeSeams& seams_;
    bool cancelled_ = false;  // poll said stop during this thread's own encoding

    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t nextChunk_ = 0;
    std::size_t joining_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> encoded_{0};
};

bool ParallelRun::Encode(Chunk& c, std::uint64_t end, const Poll* poll) {
    const bool stereo = pcm_.right >= 0;
    std::vector<std::int16_t> left(kReadSamples), right(stereo ? kReadSamples : 0);
    // Polled blocks hold at most a second of sound, so a cancel is seen that soon.
    const std::uint64_t block = poll ? std::min<std::uint64_t>(kReadSamples, grid_.inRate) : kReadSamples;
    end = std::min(end, pcm_.samples);
    while (c.inputNext < end) {
        if (stop_) return false;
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block, end - c.inputNext));
        if (!ReadSamples(seams_.read, pcm_.left, pcm_.firstSample + c.inputNext, left.data(), n)) return false;
        if (stereo && !ReadSamples(seams_.read, pcm_.right, pcm_.firstSample + c.inputNext, right.data(), n))
            return false;
        if (!c.encoder->Encode(left.data(), stereo ? right.data() : nullptr, static_cast<int>(n))) return false;
        c.inputNext += n;
        encoded_ += n;
        if (poll && !(*poll)(std::min(encoded_.load(), pcm_.samples))) {
            cancelled_ = true;
            return false;
        }
    }
    const bool atEnd = c.inputNext >= pcm_.samples;
    if (atEnd && c.encoder->IsOpen() && !c.encoder->Close()) return false;
    c.raw.bytes = c.encoder->Output();
    return IndexMp3Frames(c.raw.bytes, c.raw.index, 0, !atEnd);
}

bool ParallelRun::Start(const ChunkPlan& plan, Chunk& c) {
    c.encoder = std::make_unique<CMp3Encoder>();
    if (!c.encoder->OpenInMemory() || !c.encoder->SetUp(setup_)) return false;
    c.inputNext = plan.inputStart;
    c.raw.firstFrame = plan.firstFrame;
    return Encode(c, plan.inputEnd);
}

void ParallelRun::Work() {
    for (;;) {
        std::size_t k;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || nextChunk_ >= plan_.size() || nextChunk_ < joining_ + window_; });
            if (stop_ || nextChunk_ >= plan_.size()) return;
            k = nextChunk_++;
        }
        Chunk c;
        c.ok = Start(plan_[k], c);
        {
            std::lock_guard lock(mutex_);
            c.done = true;
            chunks_[k] = std::move(c);
        }
        changed_.notify_all();
    }
}

bool ParallelRun::WaitFor(std::size_t k, const Poll& poll, ParallelEncodeResult& why) {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, std::chrono::milliseconds(50), [&] { return chunks_[k].done; });
            if (chunks_[k].done) {
                if (chunks_[k].ok) return true;
                why = ParallelEncodeResult::Failed;
                return false;
            }
        }
        if (!poll(std::min(encoded_.load(), pcm_.samples))) {
            why = ParallelEncodeResult::Cancelled;
            return false;
        }
    }
}

ParallelRun::JoinOutcome ParallelRun::Join(std::size_t k, std::size_t written, Mp3Stream& earlierView,
                                           const Poll& poll, std::size_t& joinFrame) {
    Chunk& earlier = chunks_[k - 1];
    Chunk& later = chunks_[k];
    const bool last = k + 1 == plan_.size();
    const bool mayJoin = !seams_.mayJoin || seams_.mayJoin(k, plan_.size());
    std::uint64_t from = plan_[k].joinFrom, to = from + kSearchFrames;
    for (;;) {
        earlierView = Relaid(k - 1);
        std::optional<Mp3Join> join;
        if (mayJoin) join = FindMp3Join(earlierView, written, later.raw, from, to, later.raw.EndFrame());
        if (join) {
            PatchMp3Join(earlierView, *join);
            later.joinAt = join->frame;
            later.freeBefore = join->later.head.size();
            joinFrame = join->frame;
            return JoinOutcome::Joined;
        }
        // The earlier encoder goes on, and the search with it.
        const bool earlierDone = earlier.inputNext >= pcm_.samples;
        if (earlierDone || to - plan_[k].joinFrom >= kWidenLimitFrames || to + kWidenFrames >= later.raw.EndFrame())
            break;
        from = to;
        to += kWidenFrames;
        if (!Encode(earlier, grid_.InputCeil(to + kMarginFrames), &poll))
            return cancelled_ ? JoinOutcome::Cancelled : JoinOutcome::Failed;
    }
    if (!last) return JoinOutcome::NoJoin;
    // Nothing comes after the last chunk: rather than encode everything again on one thread, the
    // earlier encoder makes the rest of the sound itself.
    if (!Encode(earlier, pcm_.samples, &poll)) return cancelled_ ? JoinOutcome::Cancelled : JoinOutcome::Failed;
    earlierView = Relaid(k - 1);
    return JoinOutcome::RanToEnd;
}

ParallelEncodeResult ParallelRun::Run(const std::string& mp3Path, int threads, const Poll& poll) {
    CUniqueFile file(std::fopen(mp3Path.c_str(), "wb"));
    if (!file) return ParallelEncodeResult::Failed;

    std::vector<std::jthread> workers;
    auto finish = [&](ParallelEncodeResult r) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        workers.clear();
        return r;
    };
    // Fewer workers than planned take the chunks in turn; with none, one encoder does it all.
    workers = StartThreads(static_cast<std::size_t>(threads), [this](std::size_t) { Work(); }, seams_.start);
    if (workers.empty()) return finish(ParallelEncodeResult::NoThreads);

    std::size_t written = 0;  // global index of the next frame to write
    // Writes the stream's frames from `written` up to global frame `to` (or its end).
    auto writeFrames = [&](const Mp3Stream& s, std::size_t to) {
        const std::vector<Mp3FrameSpan>& f = s.index.frames;
        if (written < s.firstFrame || written > s.EndFrame()) return false;
        const std::size_t a = written - s.firstFrame < f.size() ? f[written - s.firstFrame].offset : s.bytes.size();
        const std::size_t b = to - s.firstFrame < f.size() ? f[to - s.firstFrame].offset : s.bytes.size();
        return b >= a && std::fwrite(s.bytes.data() + a, 1, b - a, file.get()) == b - a;
    };

    // Writes the rest of chunk k, the one that reaches the input's end.
    auto writeLast = [&](std::size_t k) {
        const Mp3Stream view = Relaid(k);
        // The encoder was flushed: every one of its frames must have found its place.
        if (view.EndFrame() != chunks_[k].raw.EndFrame()) return finish(ParallelEncodeResult::NoJoin);
        const bool ok = writeFrames(view, view.EndFrame());
        finish(ParallelEncodeResult::Done);
        if (!ok || std::fclose(file.release()) != 0) return ParallelEncodeResult::Failed;
        return ParallelEncodeResult::Done;
    };

    ParallelEncodeResult why = ParallelEncodeResult::Done;
    if (!WaitFor(0, poll, why)) return finish(why);
    Mp3Stream view;
    for (std::size_t k = 1; k < plan_.size(); ++k) {
        if (!WaitFor(k, poll, why)) return finish(why);
        std::size_t join = 0;
        switch (Join(k, written, view, poll, join)) {
        case JoinOutcome::Joined: break;
        case JoinOutcome::RanToEnd: return writeLast(k - 1);
        case JoinOutcome::NoJoin: return finish(ParallelEncodeResult::NoJoin);
        case JoinOutcome::Cancelled: return finish(ParallelEncodeResult::Cancelled);
        case JoinOutcome::Failed: return finish(ParallelEncodeResult::Failed);
        }
        if (!writeFrames(view, join)) return finish(ParallelEncodeResult::Failed);
        written = join;
        {
            std::lock_guard lock(mutex_);
            chunks_[k - 1] = Chunk{};  // its memory goes back before the next chunks arrive
            chunks_[k - 1].done = true;
            joining_ = k;
        }
        changed_.notify_all();
        if (!poll(std::min(encoded_.load(), pcm_.samples))) return finish(ParallelEncodeResult::Cancelled);
    }
    return writeLast(plan_.size() - 1);
}

}  // namespace

int ParallelEncodeThreads(std::uint64_t samples, int inputRate, int freeCores) {
    if (freeCores < 2 || inputRate < 1) return 1;
    const std::uint64_t seconds = samples / static_cast<std::uint64_t>(inputRate);
    if (seconds < kParallelMinSeconds) return 1;
    // Each encoder should get at least half the minimum length to be worth its overlaps.
    const std::uint64_t useful = std::max<std::uint64_t>(seconds / (kParallelMinSeconds / 2), 1);
    return static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(freeCores), useful));
}

ParallelEncodeResult EncodeMp3InParallel(const PcmChannelFiles& pcm, const Mp3EncoderSetup& setup,
                                         const std::string& mp3Path, int threads,
                                         const std::function<bool(std::uint64_t)>& poll,
                                         const ParallelEncodeSeams& seams) {
    // The frame grid comes from the encoder itself, set up as the chunks' encoders will be.
    CMp3Encoder probe;
    if (!probe.OpenInMemory() || !probe.SetUp(setup)) return ParallelEncodeResult::Failed;
    const std::optional<FrameGrid> grid = MakeGrid(setup.inputSampleRate, probe.OutputSampleRate(), probe.FrameSize());
    probe.Discard();
    if (!grid || threads < 1) return ParallelEncodeResult::Failed;
    const std::uint64_t seconds =
        seams.chunkSeconds > 0 ? static_cast<std::uint64_t>(seams.chunkSeconds) : kChunkSeconds;
    std::vector<ChunkPlan> plan = PlanChunks(*grid, pcm.samples, threads, seconds);
    ParallelRun run(pcm, setup, *grid, std::move(plan), threads, seams);
    return run.Run(mp3Path, threads, poll);
}

}  // namespace tonvela
