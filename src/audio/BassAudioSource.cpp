#include "audio/BassAudioSource.h"

#include <cmath>
#include <limits>

#include "audio/AiffAudioSource.h"
#include "audio/WavAudioSource.h"

namespace tonvela {

namespace {
int ClampToInt(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}
}  // namespace

CBassAudioSource::~CBassAudioSource() { Close(); }

void CBassAudioSource::Close() {
    handle_.reset();
    interleaved_.clear();
    interleaved_.shrink_to_fit();
    isMusic_ = false;
    interleavedBytes_ = 0;
}

bool CBassAudioSource::Open(const std::string& path, int musicRate) {
    Close();
    ClearFormat();
    std::unique_ptr<CDecoderChannel> channel = DecoderStreamCreateFile(path, probeName_);
    bool music = false;
    if (!channel) {
        channel = DecoderMusicLoad(path, musicRate);
        music = true;
    }
    if (!channel) return false;
    if (!OpenChannel(std::move(channel), music, probeName_.empty() ? path : probeName_)) return false;
    // FFmpeg's AIFF reader takes COMM's frame count as a packet count, while libsndfile writes
    // sample frames there (GSM) or half the packets (stereo IMA4). The built-in parser works
    // the length out from the sound data, whoever decodes it.
    if (!music) {
        CAiffAudioSource aiff;
        if (aiff.Open(path, 0) && aiff.FramesFromSoundData() > 0) {
            SetDecodedLength(aiff.FramesFromSoundData() * static_cast<std::uint64_t>(channels_) *
                             static_cast<std::uint64_t>(bytesPerSample_));
            declaredFrames_ = aiff.FramesFromSoundData();
        }
        // FFmpeg takes a WAV's length from what the file still holds; its header's count is what
        // tells a file cut short, as for AIFF.
        CWavAudioSource wav;
        if (wav.Open(path, 0) && wav.GetDeclaredFrames() > declaredFrames_ && wav.GetSampleRate() == sampleRate_)
            declaredFrames_ = wav.GetDeclaredFrames();
    }
    return true;
}

void CBassAudioSource::SetDecodedLength(std::uint64_t bytes) {
    length_ = bytes;
    const double seconds = length_ != 0 && handle_ ? handle_->BytesToSeconds(length_) : 0.0;
    durationSeconds_ = length_ != 0 ? ClampToInt(seconds) : 0;
    // Bit rate from the file size over the decoded duration, to the nearest kbit/s; music (no
    // file size) and streams of unknown length get the PCM rate instead.
    const std::uint64_t fileSize = handle_ ? handle_->GetFileSize() : kDecoderNoFileSize;
    if (seconds > 0.0 && fileSize != kDecoderNoFileSize)
        bitRate_ = ClampToInt(static_cast<double>(fileSize) / (seconds * 125.0) + 0.5);
    else
        bitRate_ = static_cast<int>(static_cast<std::int64_t>(bitsPerSample_) * sampleRate_ * channels_ / 1000);
}

bool CBassAudioSource::OpenChannel(std::unique_ptr<CDecoderChannel> channel, bool isMusic, const std::string& path) {
    Close();
    ClearFormat();
    if (!channel) return false;
    const DecoderChannelInfo info = channel->GetInfo();
    if (info.freq <= 0 || info.chans <= 0) return false;

    sampleRate_ = info.freq;
    channels_ = info.chans;
    outputChannels_ = channels_ < 2 ? 1 : 2;
    bitsPerSample_ = (info.flags & kDecoderSample8Bits) != 0 ? 8 : 16;
    bytesPerSample_ = bitsPerSample_ / 8;
    const std::uint64_t length = channel->GetLength();
    handle_ = std::move(channel);
    SetDecodedLength(length);
    if (handle_->LengthIsDeclared() && bytesPerSample_ > 0)
        declaredFrames_ = length / static_cast<std::uint64_t>(channels_ * bytesPerSample_);

    interleavedBytes_ = static_cast<std::uint32_t>(bytesPerSample_ * outputChannels_ * kReadFrames);
    interleaved_.assign((interleavedBytes_ + 1u) / 2u, 0);
    isMusic_ = isMusic;
    path_ = path;
    return true;
}

int CBassAudioSource::Read(void* left, void* right) {
    if (!handle_ || left == nullptr) return 0;
    if (outputChannels_ == 1) {
        const std::uint32_t bytes = handle_->GetData(left, interleavedBytes_);
        if (bytes == kDecoderDataEnd) return 0;
        return static_cast<int>(bytes / static_cast<std::uint32_t>(bytesPerSample_));
    }
    const std::uint32_t bytes = handle_->GetData(interleaved_.data(), interleavedBytes_);
    if (bytes == kDecoderDataEnd || bytes > interleavedBytes_) return 0;
    const auto channels = static_cast<std::size_t>(channels_);
    // Channels 0 and 1 of each whole frame; the rest are dropped.
    if (bitsPerSample_ == 16) {
        const std::size_t frames = bytes / 2u / channels;
        const std::int16_t* in = interleaved_.data();
        auto* l = static_cast<std::int16_t*>(left);
        auto* r = static_cast<std::int16_t*>(right);
        for (std::size_t i = 0; i < frames; ++i, in += channels) {
            l[i] = in[0];
            if (r != nullptr) r[i] = in[1];
        }
        return static_cast<int>(frames);
    }
    const std::size_t frames = bytes / channels;
    const auto* in = reinterpret_cast<const std::uint8_t*>(interleaved_.data());
    auto* l = static_cast<std::uint8_t*>(left);
    auto* r = static_cast<std::uint8_t*>(right);
    for (std::size_t i = 0; i < frames; ++i, in += channels) {
        l[i] = in[0];
        if (r != nullptr) r[i] = in[1];
    }
    return static_cast<int>(frames);
}

std::uint64_t CBassAudioSource::GetPosition() const { return handle_ ? handle_->GetPosition() : 0; }

}  // namespace tonvela
