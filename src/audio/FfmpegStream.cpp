#include "audio/FfmpegStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include "audio/DemuxerAllowList.h"
#include "audio/MpegStreamLength.h"
#include "platform/OpenRegularFile.h"

namespace tonvela {

namespace {

// Probing reads at most this much and this long (in microseconds) of a file before deciding;
// FFmpeg's own defaults, stated so that a change there cannot make probing unbounded.
constexpr const char* kProbeBytes = "5000000";
constexpr const char* kAnalyzeMicroseconds = "5000000";

std::atomic<const std::atomic<bool>*> gInterruptFlag{nullptr};

extern "C" int InterruptRequested(void*) {
    const std::atomic<bool>* flag = gInterruptFlag.load();
    return flag != nullptr && flag->load() ? 1 : 0;
}

constexpr int kIoBufferBytes = 64 * 1024;

// Read budgets (see FfmpegInput). A header may hold pictures (a FLAC block up to 16 MB); the
// stream analysis then looks at up to kProbeBytes of packets; after that, no audio packet of a
// sound file is more than a small part of the budget away from the next one.
constexpr std::uint64_t kHeaderReadBytes = 24u << 20;
constexpr std::uint64_t kAnalyzeReadBytes = 8u << 20;
constexpr std::uint64_t kPacketReadBytes = 8u << 20;

extern "C" int ReadInput(void* opaque, std::uint8_t* buffer, int size) {
    // A cancelled run reads no further: a slow disk gives up at its next block.
    if (InterruptRequested(nullptr) != 0) return AVERROR_EXIT;
    auto* input = static_cast<FfmpegInput*>(opaque);
    if (input->budget == 0) {
        input->starved = true;
        return AVERROR_EOF;
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(size), input->budget));
    for (;;) {
        const ssize_t n = ::read(input->fd.Get(), buffer, want);
        if (n > 0) {
            input->budget -= static_cast<std::uint64_t>(n);
            return static_cast<int>(n);
        }
        if (n == 0) return AVERROR_EOF;
        if (errno != EINTR) return AVERROR(errno);
    }
}

extern "C" std::int64_t SeekInput(void* opaque, std::int64_t offset, int whence) {
    const int fd = static_cast<const FfmpegInput*>(opaque)->fd.Get();
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<std::int64_t>(at);
}

// Demuxers open further inputs (playlist entries, segments, references) through this: it opens
// nothing, whatever the name.
extern "C" int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// An FFmpeg reader over our own descriptor: FFmpeg never opens a name itself, so "http:x.mp3" or
// "concat:a|b" is just a name.
AVIOContext* NewReader(FfmpegInput& input) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr) return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, kIoBufferBytes, 0, &input, ReadInput, nullptr, SeekInput);
    if (io == nullptr) av_free(buffer);
    return io;
}

void FreeReader(AVIOContext*& io) {
    if (io != nullptr) av_freep(&io->buffer);
    avio_context_free(&io);
}

// A damaged stretch is skipped like the ffmpeg tool does; this many failures in a row end it.
constexpr int kMaxErrorsInARow = 200;

// The most channels the sample converter takes.
constexpr int kMaxChannels = 64;

void QuietLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::uint64_t ChannelMask(const AVChannelLayout& layout) {
    return layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
}

}  // namespace

void SetDecoderInterruptFlag(const std::atomic<bool>* flag) { gInterruptFlag.store(flag); }

std::unique_ptr<CDecoderChannel> DecoderStreamCreateFile(const std::string& path, const std::string& probeName) {
    return CFfmpegStream::Open(path, probeName);
}

std::unique_ptr<CFfmpegStream> CFfmpegStream::Open(const std::string& path, const std::string& probeName,
                                                   std::string* refusal) {
    QuietLibraryLog();
    std::unique_ptr<CFfmpegStream> stream(new CFfmpegStream());
    if (!stream->Start(path, probeName)) {
        if (refusal != nullptr) *refusal = std::move(stream->refusal_);
        return nullptr;
    }
    return stream;
}

CFfmpegStream::~CFfmpegStream() {
    swr_free(&swr_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    FreeReader(io_);
}

std::string FfmpegRefusalReason(const std::string& path, const std::string& probeName) {
    QuietLibraryLog();
    FfmpegInput input{OpenRegularFile(path), kHeaderReadBytes, false};
    if (!input.fd.IsOpen()) return {};
    AVIOContext* io = NewReader(input);
    if (io == nullptr) return {};
    // Probing looks at the bytes only; no demuxer is opened.
    const AVInputFormat* format = nullptr;
    const std::string& name = probeName.empty() ? path : probeName;
    const int score = av_probe_input_buffer2(io, &format, name.c_str(), nullptr, 0, 0);
    FreeReader(io);
    if (score < 0 || format == nullptr || IsModuleDemuxer(format->name)) return {};
    if (IsAllowedDemuxer(format->name)) {
        // A container of ours whose stream cannot be converted says why.
        std::string why;
        CFfmpegStream::Open(path, probeName, &why);
        return why;
    }
    if (IsPlaylistDemuxer(format->name)) return "a playlist, not a sound file (it only points to other files or streams)";
    return std::string("not a sound file this program reads: its content is ") +
           (format->long_name != nullptr ? format->long_name : format->name);
}

bool CFfmpegStream::Start(const std::string& path, const std::string& probeName) {
    // The file is opened here and FFmpeg reads it through our descriptor: a FIFO or device in
    // its place is refused without blocking. Whatever else a demuxer would open is refused too.
    input_ = {OpenRegularFile(path), kHeaderReadBytes, false};
    if (!input_.fd.IsOpen()) return false;
    io_ = NewReader(input_);
    if (io_ == nullptr) return false;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", DemuxerAllowList().c_str(), 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "probesize", kProbeBytes, 0);
    av_dict_set(&options, "analyzeduration", kAnalyzeMicroseconds, 0);
    format_ = avformat_alloc_context();
    if (format_ == nullptr) {
        av_dict_free(&options);
        return false;
    }
    format_->interrupt_callback.callback = InterruptRequested;
    format_->interrupt_callback.opaque = nullptr;
    format_->io_open = RefuseNestedOpen;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    // With our own reader the name only guides the probe by its extension.
    const std::string& name = probeName.empty() ? path : probeName;
    const int opened = avformat_open_input(&format_, name.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return false;
    input_.budget = kAnalyzeReadBytes;
    if (avformat_find_stream_info(format_, nullptr) < 0) return false;
    input_.budget = kPacketReadBytes;

    const AVCodec* decoder = nullptr;
    streamIndex_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (streamIndex_ < 0 || decoder == nullptr) return false;
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != streamIndex_) format_->streams[i]->discard = AVDISCARD_ALL;
    AVStream* st = format_->streams[streamIndex_];

    codec_ = avcodec_alloc_context3(decoder);
    if (codec_ == nullptr || avcodec_parameters_to_context(codec_, st->codecpar) < 0) return false;
    codec_->pkt_timebase = st->time_base;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;

    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (packet_ == nullptr || frame_ == nullptr) return false;

    // The first frame settles the output format (decoders such as HE-AAC only know it then)
    // and proves the stream decodes at all, so files that merely look like audio are refused.
    if (!ReceiveFrame()) return false;
    frameHeld_ = true;
    rate_ = frame_->sample_rate > 0 ? frame_->sample_rate : st->codecpar->sample_rate;
    channels_ = frame_->ch_layout.nb_channels;
    if (rate_ <= 0 || channels_ <= 0) return false;
    if (channels_ > kMaxChannels) {
        refusal_ = std::to_string(channels_) + " channels: sound of more than " + std::to_string(kMaxChannels) +
                   " channels cannot be converted";
        return false;
    }

    // Lengths come from the container or FFmpeg's estimate; nothing is decoded ahead for them.
    std::int64_t frames = 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        frames = av_rescale_q(st->duration, st->time_base, AVRational{1, rate_});
    else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        frames = av_rescale(format_->duration, rate_, AV_TIME_BASE);
    bool declared = format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    std::uint64_t soundBytes = kDecoderNoFileSize;
    // An MPEG audio stream's estimate is the file's size over the first frames' bit rate: a
    // short sound padded with zeros to megabytes would be taken for minutes. Its frames say.
    if (!declared && std::strcmp(format_->iformat->name, "mp3") == 0) {
        const std::optional<MpegStreamLength> measured = MeasureMpegStream(input_.fd.Get());
        if (measured && measured->sampleRate == rate_ && measured->samples > 0) {
            frames = static_cast<std::int64_t>(std::min<std::uint64_t>(measured->samples, std::uint64_t{1} << 62));
            declared = measured->counted;
            soundBytes = measured->end;
        }
    }
    // A duration beyond a few thousand years is a broken header, not a length.
    if (frames > 0 && frames < (std::int64_t{1} << 48)) length_ = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channels_) * 2u;
    lengthDeclared_ = length_ != 0 && declared;

    const std::int64_t size = format_->pb != nullptr ? avio_size(format_->pb) : -1;
    fileSize_ = size >= 0 ? std::min(static_cast<std::uint64_t>(size), soundBytes) : kDecoderNoFileSize;
    return true;
}

double CFfmpegStream::BytesToSeconds(std::uint64_t bytes) const {
    if (rate_ <= 0 || channels_ <= 0) return 0.0;
    return static_cast<double>(bytes) / (2.0 * channels_ * rate_);
}

bool CFfmpegStream::ReceiveFrame() {
    int errors = 0;
    for (;;) {
        int r = avcodec_receive_frame(codec_, frame_);
        if (r == 0) {
            if (frame_->nb_samples > 0 && frame_->ch_layout.nb_channels > 0) return true;
            av_frame_unref(frame_);
            continue;
        }
        if (r == AVERROR_EOF) return false;
        if (r != AVERROR(EAGAIN)) {
            if (++errors >= kMaxErrorsInARow) return false;
            continue;
        }
        if (inputEnded_) return false;
        r = av_read_frame(format_, packet_);
        if (r < 0 && input_.starved && format_->pb != nullptr) {
            // A long stretch without a frame (padding, junk): what the demuxer held of it is
            // dropped and reading goes on after it, so sound that follows is still found.
            input_.starved = false;
            input_.budget = kPacketReadBytes;
            avformat_flush(format_);
            format_->pb->eof_reached = 0;
            continue;
        }
        if (r < 0) {
            // End of file, or a read error: either way the decoder gives out what it holds.
            inputEnded_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        input_.budget = kPacketReadBytes;
        if (packet_->stream_index == streamIndex_) {
            r = avcodec_send_packet(codec_, packet_);
            if (r < 0 && r != AVERROR(EAGAIN) && ++errors >= kMaxErrorsInARow) {
                av_packet_unref(packet_);
                return false;
            }
        }
        av_packet_unref(packet_);
    }
}

bool CFfmpegStream::SetUpConverter() {
    AVChannelLayout& in = frame_->ch_layout;
    AVChannelLayout out{};
    // Same channel count: keep the layout as it is, so nothing is remixed.
    if (in.nb_channels == channels_) {
        if (av_channel_layout_copy(&out, &in) < 0) return false;
    } else {
        av_channel_layout_default(&out, channels_);
    }
    swr_free(&swr_);
    const int r = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate_, &in,
                                      static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&out);
    if (r < 0 || swr_ == nullptr || swr_init(swr_) < 0) {
        swr_free(&swr_);
        return false;
    }
    swrFormat_ = frame_->format;
    swrRate_ = frame_->sample_rate;
    swrChannels_ = in.nb_channels;
    swrMask_ = ChannelMask(in);
    return true;
}

int CFfmpegStream::ConvertedUpperBound(bool flush) const {
    return swr_get_out_samples(swr_, flush ? 0 : frame_->nb_samples);
}

int CFfmpegStream::Convert(std::int16_t* out, int room, bool flush) {
    auto* dst = reinterpret_cast<std::uint8_t*>(out);
    if (flush) return swr_convert(swr_, &dst, room, nullptr, 0);
    return swr_convert(swr_, &dst, room, const_cast<const std::uint8_t**>(frame_->extended_data),
                       frame_->nb_samples);
}

std::uint32_t CFfmpegStream::GetData(void* buffer, std::uint32_t bytes) {
    const std::size_t frameBytes = static_cast<std::size_t>(channels_) * 2u;
    const std::size_t want = frameBytes > 0 ? bytes / frameBytes : 0;
    if (want == 0) return kDecoderDataEnd;
    auto* out = static_cast<std::int16_t*>(buffer);
    std::size_t got = 0;
    while (got < want) {
        if (pendingFrames_ > 0) {
            const std::size_t n = std::min(pendingFrames_, want - got);
            std::memcpy(out + got * static_cast<std::size_t>(channels_),
                        pending_.data() + pendingStart_ * static_cast<std::size_t>(channels_), n * frameBytes);
            got += n;
            pendingStart_ += n;
            pendingFrames_ -= n;
            continue;
        }
        if (ended_) break;
        bool flush = false;
        if (!frameHeld_) {
            if (ReceiveFrame()) {
                frameHeld_ = true;
            } else {
                ended_ = true;
                if (swr_ == nullptr) break;
                flush = true;  // a resampler may still hold a few frames
            }
        }
        if (frameHeld_ &&
            (swr_ == nullptr || frame_->format != swrFormat_ || frame_->sample_rate != swrRate_ ||
             frame_->ch_layout.nb_channels != swrChannels_ || ChannelMask(frame_->ch_layout) != swrMask_)) {
            if (swr_ != nullptr) {
                // Drain the old converter before the format changes.
                const int bound = ConvertedUpperBound(true);
                if (bound > 0) {
                    pending_.resize(static_cast<std::size_t>(bound) * static_cast<std::size_t>(channels_));
                    const int n = Convert(pending_.data(), bound, true);
                    pendingStart_ = 0;
                    pendingFrames_ = n > 0 ? static_cast<std::size_t>(n) : 0;
                }
            }
            if (!SetUpConverter()) {
                ended_ = true;
                break;
            }
            if (pendingFrames_ > 0) continue;
        }
        const int bound = ConvertedUpperBound(flush);
        if (bound <= 0) {
            frameHeld_ = false;
            av_frame_unref(frame_);
            continue;
        }
        int n;
        if (static_cast<std::size_t>(bound) <= want - got) {
            // The common case: convert straight into the caller's buffer.
            n = Convert(out + got * static_cast<std::size_t>(channels_), bound, flush);
            if (n > 0) got += static_cast<std::size_t>(n);
        } else {
            pending_.resize(static_cast<std::size_t>(bound) * static_cast<std::size_t>(channels_));
            n = Convert(pending_.data(), bound, flush);
            pendingStart_ = 0;
            pendingFrames_ = n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        frameHeld_ = false;
        av_frame_unref(frame_);
        if (n < 0) ended_ = true;
    }
    if (got == 0) return kDecoderDataEnd;
    const std::uint64_t delivered = got * frameBytes;
    position_ += delivered;
    return static_cast<std::uint32_t>(delivered);
}

}  // namespace tonvela
