// The thin layer over the decoding libraries: FFmpeg for streams, libopenmpt for module music.
// It offers the few calls the library-backed source relies on, with the same results: decoded
// lengths in bytes, interleaved PCM on request and -1 at the end or on error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tonvela {

// Channel information: the first three fields the source reads.
struct DecoderChannelInfo {
    int freq = 0;            // samples per second per channel
    int chans = 0;           // channel count of the delivered (interleaved) data
    std::uint32_t flags = 0; // kDecoderSample8Bits when samples are unsigned 8-bit
};

inline constexpr std::uint32_t kDecoderSample8Bits = 1;
// GetData's result at the end of the data or on a decoding error.
inline constexpr std::uint32_t kDecoderDataEnd = 0xFFFFFFFFu;
// GetFileSize's result when there is no file size (module music).
inline constexpr std::uint64_t kDecoderNoFileSize = ~std::uint64_t{0};

// One open decode-only channel. Destroying it releases everything the library holds for it.
class CDecoderChannel {
public:
    CDecoderChannel() = default;
    CDecoderChannel(const CDecoderChannel&) = delete;
    CDecoderChannel& operator=(const CDecoderChannel&) = delete;
    virtual ~CDecoderChannel() = default;

    virtual DecoderChannelInfo GetInfo() const = 0;
    // Decoded length in bytes of interleaved PCM (an estimate where the container has no exact one).
    virtual std::uint64_t GetLength() const = 0;
    // True when GetLength comes from the file's own count, not from a bit-rate estimate.
    virtual bool LengthIsDeclared() const { return false; }
    virtual double BytesToSeconds(std::uint64_t bytes) const = 0;
    // Size of the file in bytes (up to the end of its sound where junk follows it, as zeros after
    // an MP3's last frame), kDecoderNoFileSize when there is none.
    virtual std::uint64_t GetFileSize() const = 0;
    // Writes up to `bytes` bytes of interleaved PCM (whole frames only) into buffer and returns
    // the count; kDecoderDataEnd when nothing more can be delivered.
    virtual std::uint32_t GetData(void* buffer, std::uint32_t bytes) = 0;
    // Bytes delivered so far.
    virtual std::uint64_t GetPosition() const = 0;
};

// A decode-only stream of the file's first audio stream, as signed 16-bit samples at the
// file's own rate and channel count. nullptr when FFmpeg cannot decode the file (or it is not a
// regular file). probeName, when given, is the name whose extension guides the format probe (path
// may be a /proc/self/fd name that has none).
std::unique_ptr<CDecoderChannel> DecoderStreamCreateFile(const std::string& path, const std::string& probeName = {});

// Module music (MOD, XM, IT, S3M, ...) rendered as 16-bit stereo at sampleRate (44100 when 0).
// nullptr when the file is not module music, or larger than kMaxModuleBytes.
std::unique_ptr<CDecoderChannel> DecoderMusicLoad(const std::string& path, int sampleRate);

// libopenmpt holds a whole module and its samples in memory: larger modules are refused.
inline constexpr std::uint64_t kMaxModuleBytes = std::uint64_t{128} << 20;

// Why the libraries will not read a file they recognise: a playlist, a container that is not
// one of the sound formats this program reads, a stream of more channels than can be converted,
// module music larger than kMaxModuleBytes. Empty when they do not recognise it. At most a first
// frame is decoded.
std::string DecoderRefusalReason(const std::string& path);

// Major versions of the libraries: as built against, and as found at run time.
struct DecoderVersions {
    unsigned avformat = 0;
    unsigned avcodec = 0;
    unsigned swresample = 0;
    unsigned avutil = 0;
    unsigned openmpt = 0;
    bool operator==(const DecoderVersions&) const = default;
};
DecoderVersions DecoderBuiltVersions();
DecoderVersions DecoderRuntimeVersions();

// Start-up and shut-down of the libraries, once per process.
bool DecoderLibraryInit();
void DecoderLibraryFree();

}  // namespace tonvela
