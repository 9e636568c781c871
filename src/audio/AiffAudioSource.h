// Reader for AIFF and AIFF-C files: integer, float, G.711, raw, IMA4, GSM and DWVW data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioSource.h"

struct gsm_state;

namespace tonvela {

class CDwvwDecoder;
class CImaAdpcmDecoder;

class CAiffAudioSource : public CAudioSource {
public:
    CAiffAudioSource();
    ~CAiffAudioSource() override;

    void Close() override;
    bool Open(const std::string& path, int musicRate) override;
    int Read(void* left, void* right) override;

private:
    using Routine = int (CAiffAudioSource::*)(void* left, void* right);
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    struct GsmCloser {
        void operator()(gsm_state* g) const;
    };

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

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint32_t numSampleFrames_ = 0;
    std::uint64_t framesFromHeader_ = 0;   // COMM frame count when the file states one
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
    std::int16_t (*expand_)(std::uint8_t) = nullptr;
    Routine decodeRoutine_ = nullptr;
    std::unique_ptr<CImaAdpcmDecoder> ima_;
    std::unique_ptr<gsm_state, GsmCloser> gsm_;
    std::vector<std::int16_t> gsmSamples_;
    std::unique_ptr<CDwvwDecoder> dwvw_;
    std::vector<std::int32_t> dwvwSamples_;
};

}  // namespace tonvela
