// The decoded-audio source interface: every audio file is read through one of these.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tonvela {

// Largest number of frames one Read delivers: one MPEG-1 Layer III frame.
inline constexpr int kReadFrames = 1152;

enum AudioKind : int {
    AudioKindWav = 2000,
    AudioKindAiff = 2100,
    AudioKindSnd = 3000,
    AudioKindOther = 6000,
};

// Kind from the text after the last "." of the path's file name, case-insensitive.
AudioKind AudioKindFromPath(const std::string& path);

class CAudioSource {
public:
    CAudioSource() = default;
    CAudioSource(const CAudioSource&) = delete;
    CAudioSource& operator=(const CAudioSource&) = delete;
    virtual ~CAudioSource() = default;  // derived destructors call their own Close

    virtual void Close() = 0;
    // Closes first, then opens and parses; false on any failure. musicRate only matters to
    // the library-backed source (rate for module music; 0 = default).
    virtual bool Open(const std::string& path, int musicRate) = 0;
    virtual bool IsOk() const { return true; }
    // Fills left (and right when GetOutputChannels() is 2) with up to kReadFrames samples of
    // GetBitsPerSample() width. Returns frames delivered; below 1 means end or error.
    virtual int Read(void* left, void* right) = 0;

    std::uint64_t GetLength() const { return length_; }
    virtual std::uint64_t GetPosition() const { return position_; }
    int GetDuration() const { return durationSeconds_; }
    // Frames the header declares; 0 where the format gives no exact count (an estimate, a
    // length left open by a writer that streamed). A Read that ends before it means the file
    // is shorter than its header says.
    std::uint64_t GetDeclaredFrames() const { return declaredFrames_; }
    int GetChannels() const { return channels_; }
    int GetOutputChannels() const { return outputChannels_; }
    int GetSampleRate() const { return sampleRate_; }
    int GetBitsPerSample() const { return bitsPerSample_; }
    int GetBitRate() const { return bitRate_; }

protected:
    void ClearFormat() {
        length_ = position_ = declaredFrames_ = 0;
        durationSeconds_ = sampleRate_ = channels_ = outputChannels_ = 0;
        bitsPerSample_ = bytesPerSample_ = bitRate_ = 0;
    }
    // The common rule: durationSeconds = frames / rate; bitRate from the audio bytes over the
    // exact length when the duration is at least a second, else from bits x channels x rate.
    // frames is the count the header declares.
    void SetDurationAndBitRate(std::uint64_t frames, std::uint64_t audioBytes, int bits, int bitChannels);

    std::uint64_t length_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t declaredFrames_ = 0;
    int durationSeconds_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    int outputChannels_ = 0;
    int bitsPerSample_ = 0;
    int bytesPerSample_ = 0;
    int bitRate_ = 0;
};

// Multiplies count samples of left (and right when channels is 2) by gain, truncating toward
// zero and clamping to -32767..32767.
void ApplyGain(std::int16_t* left, std::int16_t* right, int count, int channels, float gain);

// Picks and opens the reader for a file of the given kind; nullptr when every candidate
// refuses it. musicRate is passed to the library-backed source only.
std::unique_ptr<CAudioSource> OpenAudioSource(const std::string& path, AudioKind kind, int musicRate);

}  // namespace tonvela
