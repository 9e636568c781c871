#include "convert/ConvertFile.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "convert/ChooseEncoding.h"
#include "convert/ConvertOptions.h"
#include "convert/FileListColumns.h"
#include "convert/FrameLimit.h"
#include "convert/ProbeFailure.h"
#include "convert/TempFile.h"
#include "mp3/Mp3Encoder.h"
#include "mp3/ParallelMp3Encode.h"
#include "platform/PathName.h"

namespace tonvela {

namespace {

// Source samples in x milliseconds, truncated; clamped to what 32 bits hold.
std::uint32_t SamplesIn(int rate, int ms) {
    const double v = static_cast<double>(rate) * (static_cast<double>(ms) * 0.001);
    if (v <= 0) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(v);
}

// Removes what was written to the MP3 file. A temporary file opened through /proc/self/fd
// cannot be unlinked by that name; emptying it is enough, its owner drops it.
void DiscardMp3(const std::string& mp3Path) {
    if (std::string_view(mp3Path).rfind("/proc/self/fd/", 0) == 0) {
        if (::truncate(mp3Path.c_str(), 0) != 0) { /* the owner still drops it */ }
        return;
    }
    std::error_code ec;
    std::filesystem::remove(mp3Path, ec);
}

constexpr const char* kFailTemporary = "the temporary files could not be written (is the disk full?)";
constexpr const char* kFailEncoder = "the MP3 encoder failed";

// The per-file line and bar of the progress display, moved only when they change.
class CFileProgress {
public:
    CFileProgress(CConvertProgress& progress, std::string name) : progress_(progress), name_(std::move(name)) {
        width_ = std::max(progress.FileBarWidth(), 1);
        progress_.SetFileBarRange(width_);
        progress_.SetFileBarPos(0);
    }
    void Show(std::uint32_t percent, std::uint32_t pos) {
        if (percent > shownPercent_) {
            shownPercent_ = percent;
            char buf[32];
            std::snprintf(buf, sizeof buf, "...%u%%", percent);
            progress_.SetFileText("Converting " + name_ + buf);
        }
        if (pos > bar_) {
            bar_ = pos;
            progress_.SetFileBarPos(static_cast<int>(pos));
        }
    }
    // Lets the display breathe; true when the user asked to cancel.
    bool Cancelled() {
        progress_.ProcessEvents();
        return progress_.IsCancelled();
    }
    std::uint32_t Width() const { return static_cast<std::uint32_t>(width_); }
    std::uint32_t Bar() const { return bar_; }
    std::uint32_t Percent() const { return shownPercent_; }

private:
    CConvertProgress& progress_;
    std::string name_;
    int width_ = 1;
    std::uint32_t shownPercent_ = 0;
    std::uint32_t bar_ = 0;
};

struct Conversion {
    const CConvertOptions& settings;
    CAudioSource& source;
    CMp3Encoder& encoder;
    CFileProgress& progress;
    ConvertResult& result;
    int rate = 0;
    int channels = 0;
    double ratio = 1.0;
    int mp3Rate = 0;
    struct Parallel {
        const Mp3EncoderSetup* setup = nullptr;
        const std::string* mp3Path = nullptr;
        int threads = 1;
    } parallel;

    bool Run();
    bool Fail(const char* why) {
        result.failure = why;
        return false;
    }
    // A setting that cuts away all of the sound: the refusal names it.
    bool Refuse(const std::string& setting, int ms, std::uint64_t decoded) {
        const std::uint64_t tenths = decoded * 10 / static_cast<std::uint64_t>(rate);
        result.refusal = setting + " " + std::to_string(ms) + " leaves no sound: the file is " +
                         std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s long";
        return false;
    }
    // Encodes a long sound on several cores. Returns false when that was done (ok tells how it
    // went), true when the sound is to be encoded here with the encoder.
    bool EncodeHere(const CTempFile& left, const CTempFile& right, std::uint64_t start, std::uint64_t total, bool& ok);
};

bool Conversion::Run() {
    const bool durationMode = settings.TrimLastType == 1 && settings.ConvertDuration >= 1;
    const bool eightBit = source.GetBitsPerSample() == 8;
    const bool stereo = channels == 2;

    // Work buffers: 16-bit blocks per channel, plus raw 8-bit blocks when the source delivers those.
    std::vector<std::int16_t> left(kReadFrames), right(stereo ? kReadFrames : 0);
    std::vector<std::uint8_t> rawLeft(eightBit ? kReadFrames : 0), rawRight(eightBit && stereo ? kReadFrames : 0);

    const std::uint64_t estimate64 = static_cast<std::uint64_t>(rate) * (static_cast<std::uint64_t>(std::max(source.GetDuration(), 0)) + 1);
    const std::uint32_t estimate = static_cast<std::uint32_t>(std::min<std::uint64_t>(estimate64, 0xFFFFFFFFu));
    // The reported length only paces the progress display: containers without a duration
    // report 0 and some headers lie, so it must never stop the decoding. In duration mode the
    // requested amount is both the stop and the pace.
    std::uint64_t wanted = 0;
    if (durationMode) {
        wanted = SamplesIn(rate, settings.ConvertDuration);
        if (settings.SkipFirstMs > 0) wanted += SamplesIn(rate, settings.SkipFirstMs);
    }
    std::uint32_t limit = durationMode ? static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, 0xFFFFFFFFu)) : estimate;
    if (limit == 0) limit = 1;

    const bool withGain = settings.ChangeVolume != 0 && settings.VolumeCoef != 100;
    const float gain = static_cast<float>(settings.VolumeCoef * 0.01);

    CTempFile pcmLeft, pcmRight;
    if (!pcmLeft.Create() || (stereo && !pcmRight.Create())) return Fail(kFailTemporary);

    // Phase 1: decode everything (up to the duration limit) into the channel files: 0 .. 20 %.
    const std::uint32_t w = progress.Width();
    const std::uint32_t d1 = std::max(limit / 100, 1u) * 5;
    const std::uint32_t e1 = std::max(limit / w, 1u) * 5;
    std::uint64_t decoded = 0;
    for (;;) {
        void* outLeft = eightBit ? static_cast<void*>(rawLeft.data()) : static_cast<void*>(left.data());
        void* outRight = nullptr;
        if (stereo) outRight = eightBit ? static_cast<void*>(rawRight.data()) : static_cast<void*>(right.data());
        const int n = source.Read(outLeft, outRight);
        if (n < 1) break;
        const int frames = std::min(n, kReadFrames);  // a source must never deliver more
        decoded += static_cast<std::uint64_t>(frames);

        progress.Show(static_cast<std::uint32_t>(std::min<std::uint64_t>(decoded / d1, 20)),
                      static_cast<std::uint32_t>(std::min<std::uint64_t>(decoded / e1, w)));
        if (progress.Cancelled()) return false;

        if (eightBit) {
            for (int i = 0; i < frames; ++i)
                left[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((rawLeft[static_cast<std::size_t>(i)] - 128) * 256);
            if (stereo)
                for (int i = 0; i < frames; ++i)
                    right[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((rawRight[static_cast<std::size_t>(i)] - 128) * 256);
        }
        if (withGain) ApplyGain(left.data(), stereo ? right.data() : nullptr, frames, channels, gain);

        const std::size_t bytes = static_cast<std::size_t>(frames) * 2;
        if (!pcmLeft.Write(left.data(), bytes)) return Fail(kFailTemporary);
        if (stereo && !pcmRight.Write(right.data(), bytes)) return Fail(kFailTemporary);

        if (durationMode && decoded >= wanted) break;
    }
    // A cancel may have ended the reading itself (the decoders give up their reads): what was
    // read is no whole sound.
    if (progress.Cancelled()) return false;

    if (decoded == 0) {
        result.refusal = kRefusalNoSound;
        return false;
    }
    // A file cut while it was read ends early: the movie holds what there was, and says so.
    // Containers may count a few priming frames the decoder drops: a second's shortfall is none.
    const auto toSeconds = [&](std::uint64_t frames) {
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(frames / static_cast<std::uint64_t>(rate), 0xFFFFFFFFu));
    };
    result.sourceSeconds = toSeconds(decoded);
    result.wholeSource = !(durationMode && decoded >= wanted);
    const std::uint64_t declared = source.GetDeclaredFrames();
    if (result.wholeSource && decoded + static_cast<std::uint64_t>(rate) < declared)
        result.declaredSeconds = toSeconds(declared);

    // Trimming: the skipped start and end are cut from what was decoded.
    std::uint64_t remaining = decoded;
    std::uint64_t start = 0;
    if (settings.SkipFirstMs >= 1) {
        const std::uint64_t k = SamplesIn(rate, settings.SkipFirstMs);
        if (k >= remaining) return Refuse("SkipFirstMs", settings.SkipFirstMs, decoded);
        start = k;
        remaining -= k;
    }
    if (!pcmLeft.Seek(start * 2) || (stereo && !pcmRight.Seek(start * 2))) return Fail(kFailTemporary);
    if (settings.TrimLastType == 0 && settings.SkipLastMs >= 1) {
        const std::uint64_t k = SamplesIn(rate, settings.SkipLastMs);
        if (k >= remaining)
            return Refuse(start > 0 ? "SkipFirstMs " + std::to_string(settings.SkipFirstMs) + " with SkipLastMs"
                                    : std::string("SkipLastMs"),
                          settings.SkipLastMs, decoded);
        remaining -= k;
    }
    result.outputSamples = static_cast<std::uint32_t>(std::min(static_cast<double>(remaining) * ratio, 4294967295.0));
    result.convertedSeconds = static_cast<std::uint32_t>(remaining / static_cast<std::uint64_t>(rate));
    // Known now, before the encoding: a movie that cannot hold the sound is not worth the work.
    result.refusal = FrameLimitBreak(settings, result.outputSamples, mp3Rate, result.convertedSeconds);
    if (!result.refusal.empty()) return false;

    // Phase 2: encode what is left: 20 .. 100 %.
    const std::uint64_t total = remaining;
    const std::uint64_t d2 = std::max<std::uint64_t>(total / 100, 1);
    const std::uint64_t e2 = std::max<std::uint64_t>(total / w, 1);
    const std::uint64_t base = progress.Bar();
    std::uint64_t encoded = 0;
    bool parallelOk = false;
    if (!EncodeHere(pcmLeft, pcmRight, start, total, parallelOk)) return parallelOk;
    while (remaining > 0) {
        const std::size_t c = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kReadFrames));
        if (!pcmLeft.ReadExact(left.data(), c * 2)) return Fail(kFailTemporary);
        if (stereo && !pcmRight.ReadExact(right.data(), c * 2)) return Fail(kFailTemporary);
        encoded += c;
        progress.Show(static_cast<std::uint32_t>(std::min<std::uint64_t>(20 + 4 * (encoded / d2) / 5, 100)),
                      static_cast<std::uint32_t>(std::min<std::uint64_t>(base + 4 * (encoded / e2) / 5, w)));
        if (progress.Cancelled()) return false;
        if (!encoder.Encode(left.data(), stereo ? right.data() : nullptr, static_cast<int>(c)))
            return Fail(kFailEncoder);
        remaining -= c;
    }
    if (progress.Percent() != 100) progress.Show(100, w);
    return true;
}

bool Conversion::EncodeHere(const CTempFile& pcmLeft, const CTempFile& pcmRight, std::uint64_t start,
                            std::uint64_t total, bool& ok) {
    if (!parallel.setup || !parallel.mp3Path) return true;
    const int threads = ParallelEncodeThreads(total, rate, parallel.threads);
    if (threads < 2) return true;
    const PcmChannelFiles pcm{pcmLeft.Fd(), channels == 2 ? pcmRight.Fd() : -1, start, total};
    const std::uint32_t w = progress.Width();
    const std::uint64_t base = progress.Bar();
    // The encoders write the file themselves; the one opened for this file is not needed.
    encoder.Discard();
    const ParallelEncodeResult r =
        EncodeMp3InParallel(pcm, *parallel.setup, *parallel.mp3Path, threads, [&](std::uint64_t encoded) {
            const std::uint64_t d = std::max<std::uint64_t>(total / 100, 1), e = std::max<std::uint64_t>(total / w, 1);
            progress.Show(static_cast<std::uint32_t>(std::min<std::uint64_t>(20 + 4 * (encoded / d) / 5, 100)),
                          static_cast<std::uint32_t>(std::min<std::uint64_t>(base + 4 * (encoded / e) / 5, w)));
            return !progress.Cancelled();
        });
    if (r == ParallelEncodeResult::NoJoin || r == ParallelEncodeResult::NoThreads) {
        // No place to join two pieces, or no thread to encode them: one encoder after all, from the start.
        if (encoder.Open(*parallel.mp3Path) && encoder.SetUp(*parallel.setup)) return true;
        ok = false;
        return false;
    }
    ok = r == ParallelEncodeResult::Done;
    if (ok && progress.Percent() != 100) progress.Show(100, w);
    return false;
}

}  // namespace

std::string SourceEndedEarlyNote(std::uint32_t got, std::uint32_t declared) {
    return " (warning: the source ends after " + std::to_string(got) + " s of the " + std::to_string(declared) +
           " s it declares)";
}

bool ConvertFile(AudioKind kind, const std::string& path, const std::string& mp3Path,
                 CConvertProgress& progress, const CConvertOptions& settings, ConvertResult& result,
                 int encodeThreads) {
    int musicRate = 44100;
    if (settings.AutoDestMP3EncodingParam != 1) musicRate = settings.MP3SampleRate < 1 ? 44100 : settings.MP3SampleRate;
    std::unique_ptr<CAudioSource> source = OpenAudioSource(path, kind, musicRate);
    if (!source) {
        result.failure = "the file can no longer be opened: " + ProbeFailureReason(path);
        return false;
    }

    const int rate = source->GetSampleRate();
    const int channels = source->GetOutputChannels();
    const int bits = source->GetBitsPerSample();
    // A format record the rest cannot work with would divide by zero or overrun the buffers.
    if (rate < 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) {
        result.failure = "its sound cannot be converted: " + std::to_string(channels) + " channel(s) of " +
                         std::to_string(bits) + "-bit samples at " + std::to_string(rate) + " Hz";
        return false;
    }

    CMp3Encoder encoder;
    bool ok = false;
    if (!encoder.Open(mp3Path)) {
        result.failure = "the temporary MP3 file could not be opened";
    } else {
        const EncodingChoice choice = ChooseEncoding(settings, rate, channels);
        const Mp3EncoderSetup setup{channels, rate, choice};
        if (!encoder.SetUp(setup)) {
            result.failure = "the MP3 encoder refused this sound's format or the chosen bit rate";
        } else {
            result.encoderDelay = static_cast<std::uint32_t>(std::max(encoder.EncoderDelay(), 0));
            CFileProgress fileProgress(progress, NameOf(path));
            Conversion conversion{settings, *source, encoder, fileProgress, result, rate, channels,
                                  static_cast<double>(choice.sampleRate) / rate, choice.sampleRate, {}};
            conversion.parallel = {&setup, &mp3Path,
                                   encodeThreads > 0 ? encodeThreads
                                                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))};
            ok = conversion.Run();
        }
    }
    // Flushing the encoder can fail too (a full disk): a short MP3 is no success.
    if (!encoder.Close() && ok) {
        ok = false;
        result.failure = "the MP3 file could not be completed (is the disk full?)";
    }
    source.reset();
    if (!ok) DiscardMp3(mp3Path);
    return ok;
}

}  // namespace tonvela
