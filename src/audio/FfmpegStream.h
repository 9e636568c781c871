// A decode-only FFmpeg stream: the first audio stream of a file as interleaved signed 16-bit PCM
// at the file's own rate and channel count. FFmpeg reads only that file, through our own reader,
// and only with the demuxers of DemuxerAllowList.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/DecoderLibrary.h"
#include "platform/UniqueFd.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;

namespace tonvela {

// A flag the program raises to cancel (a signal handler's, a Cancel button's): while it is set,
// FFmpeg gives up its probing and every further read of a file at once (a read already waiting
// on the disk ends when the disk answers). Null (the default) for none. One run sets it at a
// time: the command line at start-up, the window for a batch or while it adds files.
void SetDecoderInterruptFlag(const std::atomic<bool>* flag);

// Why FFmpeg will not read a file it recognises: a playlist, a container that is not one of
// the sound formats this program reads, or a stream that cannot be converted. Empty when it does
// not recognise the content or reads it. At most a first frame is decoded.
std::string FfmpegRefusalReason(const std::string& path, const std::string& probeName = {});

// What FFmpeg reads through: the file, opened without blocking and checked to be a regular file,
// and how many more bytes it may read before it has to show something for them. A raw stream of
// junk (2 GB of zeros named .mp3) never yields a frame, and FFmpeg's frame parsers keep every
// byte read until one comes: at the end of the budget, opening fails, and a stream being read
// drops what it held and reads on.
struct FfmpegInput {
    CUniqueFd fd;
    std::uint64_t budget = 0;
    bool starved = false;  // a read was refused for want of budget
};

class CFfmpegStream final : public CDecoderChannel {
public:
    // nullptr when the file has no audio stream FFmpeg can decode; refusal, when given, then
    // says why if the stream is one that cannot be converted (too many channels).
    static std::unique_ptr<CFfmpegStream> Open(const std::string& path, const std::string& probeName = {},
                                               std::string* refusal = nullptr);
    ~CFfmpegStream() override;

    DecoderChannelInfo GetInfo() const override { return {rate_, channels_, 0}; }
    std::uint64_t GetLength() const override { return length_; }
    bool LengthIsDeclared() const override { return lengthDeclared_; }
    double BytesToSeconds(std::uint64_t bytes) const override;
    std::uint64_t GetFileSize() const override { return fileSize_; }
    std::uint32_t GetData(void* buffer, std::uint32_t bytes) override;
    std::uint64_t GetPosition() const override { return position_; }

private:
    CFfmpegStream() = default;
    bool Start(const std::string& path, const std::string& probeName);
    // Next decoded frame into frame_; false at the end of the stream or after too many errors.
    bool ReceiveFrame();
    // Converts frame_ (or, with flush, what the converter still holds) into out, which has
    // room for `room` frames; returns frames written or -1.
    int Convert(std::int16_t* out, int room, bool flush);
    int ConvertedUpperBound(bool flush) const;
    bool SetUpConverter();

    FfmpegInput input_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int streamIndex_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    std::uint64_t length_ = 0;
    bool lengthDeclared_ = false;
    std::uint64_t fileSize_ = kDecoderNoFileSize;  // up to the end of an MPEG stream's frames
    std::uint64_t position_ = 0;

    // Input parameters the converter was set up for; a change mid-stream rebuilds it.
    int swrFormat_ = -1;
    int swrRate_ = 0;
    int swrChannels_ = 0;
    std::uint64_t swrMask_ = 0;

    std::string refusal_;
    bool frameHeld_ = false;    // frame_ holds a decoded frame not yet converted
    bool inputEnded_ = false;   // the demuxer is done and the decoder was told so
    bool ended_ = false;        // nothing more will come
    std::vector<std::int16_t> pending_;  // converted frames that did not fit the caller's buffer
    std::size_t pendingStart_ = 0;       // in frames
    std::size_t pendingFrames_ = 0;
};

}  // namespace tonvela
