// MP3 input of the sound SWF writer: validates the first frame header and walks the file frame
// by frame from the 4-byte headers alone. The file is read through a small buffer and never
// held whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "audio/Mp3FrameHeader.h"
#include "platform/UniqueFd.h"

namespace tonvela {

class CMp3SoundFile {
public:
    CMp3SoundFile() = default;
    CMp3SoundFile(const CMp3SoundFile&) = delete;
    CMp3SoundFile& operator=(const CMp3SoundFile&) = delete;
    virtual ~CMp3SoundFile() { Close(); }

    // Opens and validates: a frame header at offset 0 (no tag skipped), MPEG 1/2/2.5, a rate of
    // 11025, 22050 or 44100 Hz, and at least that first frame complete in the file.
    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return fd_.IsOpen(); }

    // Length of the frame at the current position, moving to the next frame. 0 at the end of
    // the data (also for a last frame cut short), -1 on a header that is not a usable frame of
    // this stream (no sync, reserved fields, or another version, layer or rate than the first).
    int NextFrameLength();
    // Back to the data start; clears the stream's carry. False when not open.
    virtual bool Rewind();

    int Channels() const { return channels_; }
    int SampleRate() const { return sampleRate_; }
    int BitRate() const { return bitRate_; }
    int SamplesPerMp3Frame() const { return samplesPerFrame_; }
    std::int64_t DataStart() const { return dataStart_; }
    std::uint64_t FileSize() const { return fileSize_; }
    // A read of the file failed (as opposed to reaching its end).
    bool ReadFailed() const { return readFailed_; }

protected:
    // Reads exactly size bytes at the current position (advancing it); false on a short read.
    bool ReadExact(std::uint8_t* dst, std::size_t size);
    std::uint64_t Position() const { return pos_; }
    void Seek(std::uint64_t pos) { pos_ = pos; }

    int channels_ = 0;
    int sampleRate_ = 0;
    int bitRate_ = 0;
    int samplesPerFrame_ = 0;
    std::int64_t dataStart_ = -1;

private:
    // Copies up to size bytes at pos_ through the read buffer; returns the count (0 at the end
    // or on error, which sets readFailed_).
    std::size_t Read(std::uint8_t* dst, std::size_t size);

    CUniqueFd fd_;
    std::uint64_t fileSize_ = 0;
    std::uint64_t pos_ = 0;
    Mp3FrameHeader first_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t bufferLength_ = 0;   // valid bytes in buffer_
    bool readFailed_ = false;
};

// Sample-rate code of SWF sound records: 11025 -> 1, 22050 -> 2, 44100 -> 3, else 0.
int SwfSoundRateCode(int sampleRate);

}  // namespace tonvela
