// Reader for AIFF and AIFF-C files: integer, float, G.711, raw, IMA4, GSM and DWVW data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioSource.h"
#include "platform/UniqueFile.h"

namespace tonvela {

class CDwvwDecoder;
class CGsm610Decoder;
class CImaAdpcmDecoder;

// The 80-bit IEEE extended value of an AIFF sample rate (10 big-endian bytes) as a double.
double ExtendedToDouble(const std::uint8_t* bytes);

class CAiffAudioSource : public CAudioSource {
public:
    CAiffAudioSource();
    ~CAiffAudioSource() override;

    void Close() override;
    bool Open(const std::string& path, int musicRate) override;
    int Read(void* left, void* right) override;

    // Sample frames worked out from the sound data's size for packed data (IMA4, GSM), whose
    // COMM count writers fill in differently; 0 for other data or when closed.
    std::uint64_t FramesFromSoundData() const { return framesFromData_; }

private:
    using Routine = int (CAiffAudioSource::*)(void* left, void* right);

    bool WalkChunks(bool aifc);
    bool ParseComm(std::uint64_t size, bool aifc);
    bool SetUpRoutine();
    // Reads up to n bytes into dst, adding what arrives to position_.
    std::size_t ReadFile(void* dst, std::size_t n);
    bool Skip(std::uint64_t n);
    int ReadFrames(void* left, void* right);  // integer, float, G.711 and raw data
    int ReadIma4(void* left, void* right);
    int ReadGsm(void* left, void* right);
    int ReadDwvw(void* left, void* right);
    template <typename Sample, typename Convert>
    int SplitFrames(Sample* left, Sample* right, int frames, int sampleBytes, Convert convert);

    static constexpr std::size_t kBufferBytes = 8388608;

    CUniqueFile file_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint32_t numSampleFrames_ = 0;
    std::uint64_t framesFromHeader_ = 0;   // COMM frame count when the file states one
    std::uint64_t framesFromData_ = 0;     // IMA4 and GSM: from the sound data's size
    int sampleSize_ = 0;
    int kind_ = 0;
    int byteOrder_ = 0;
    int stride1_ = 0;
    int stride2_ = 0;
    std::uint64_t offset_ = 0;             // file offset of the walk
    std::uint64_t dataStart_ = 0;
    std::uint64_t dataBytes_ = 0;
    std::uint64_t remaining_ = 0;
    std::uint64_t framesDelivered_ = 0;
    int secondChannel_ = 0;                // file channel delivered as right
    std::int16_t (*expand_)(std::uint8_t) = nullptr;
    Routine decodeRoutine_ = nullptr;
    std::unique_ptr<CImaAdpcmDecoder> ima_;
    std::unique_ptr<CGsm610Decoder> gsm_;
    std::vector<std::int16_t> gsmSamples_;
    std::unique_ptr<CDwvwDecoder> dwvw_;
    std::vector<std::int32_t> dwvwSamples_;
};

}  // namespace tonvela
