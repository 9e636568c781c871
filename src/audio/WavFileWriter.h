// Writes PCM to a RIFF/WAVE file: header with placeholder sizes, data, sizes patched at the end
// (and on request along the way).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tonvela {

// The 16-byte PCM format record and its extra size, as written at offset 20.
struct WavPcmFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

class CWavFileWriter {
public:
    static constexpr std::uint32_t kHeaderBytes = 44;

    CWavFileWriter() = default;
    CWavFileWriter(const CWavFileWriter&) = delete;
    CWavFileWriter& operator=(const CWavFileWriter&) = delete;
    virtual ~CWavFileWriter();

    // Creates (or truncates) the file and writes the 44-byte header. False when the file cannot
    // be created or the format is unusable (bits not a positive multiple of 8, rate 0).
    bool Create(const std::string& path, bool stereo, int bitsPerSample, int sampleRate);
    // Appends the bytes as they are. False on a write error, with nothing open, or when the data
    // would pass the 4 GiB a RIFF size field can describe. After a write error (a full disk) the
    // whole sample frames that reached the file are kept and every later Write fails.
    bool Write(const void* data, std::size_t bytes);
    // Patches both size fields to the data written so far and leaves the file open, so that a
    // process killed before Finish still leaves a WAV that reads as what reached the disk.
    // False with nothing open or when the sizes could not be written.
    bool UpdateSizes();
    // Patches both size fields to the data kept and closes the file, so even after a failed
    // Write the file is a valid WAV of what was recorded; harmless when nothing is open. False
    // when a Write failed or the sizes could not be written.
    bool Finish();

    const WavPcmFormat& GetFormat() const { return format_; }
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::uint64_t dataBytes_ = 0;
    bool failed_ = false;
    WavPcmFormat format_{};
};

}  // namespace tonvela
