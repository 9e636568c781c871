// Reader for NeXT/Sun ".snd"/".au" files: linear, float, G.711 and G.721/G.723 data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/AudioSource.h"
#include "audio/codecs/G72x.h"
#include "platform/UniqueFile.h"

namespace tonvela {

class CSndAudioSource : public CAudioSource {
public:
    CSndAudioSource();
    ~CSndAudioSource() override;

    void Close() override;
    bool Open(const std::string& path, int musicRate) override;
    int Read(void* left, void* right) override;

private:
    using Routine = int (CSndAudioSource::*)(std::int16_t* left, std::int16_t* right);

    bool ParseHeader();
    // Reads up to n data bytes into buffer_, never past length_; returns the bytes read.
    std::size_t ReadBounded(std::size_t n);
    int ReadLinear8(std::int16_t* left, std::int16_t* right);
    int ReadLinear16(std::int16_t* left, std::int16_t* right);
    int ReadLinear24(std::int16_t* left, std::int16_t* right);
    int ReadLinear32(std::int16_t* left, std::int16_t* right);
    int ReadFloat(std::int16_t* left, std::int16_t* right);
    int ReadDouble(std::int16_t* left, std::int16_t* right);
    int ReadG711(std::int16_t* left, std::int16_t* right);
    int ReadG72x(std::int16_t* left, std::int16_t* right);
    // Generic frame loop for the fixed-width encodings.
    template <typename Convert>
    int ReadFixed(std::int16_t* left, std::int16_t* right, int sampleBytes, Convert convert);

    static constexpr std::size_t kBufferBytes = 8388608;

    CUniqueFile file_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    bool bigEndian_ = false;
    int encoding_ = 0;
    int fileBits_ = 0;
    std::uint32_t dataOffset_ = 0;
    std::int16_t (*expand_)(std::uint8_t) = nullptr;
    Routine decodeRoutine_ = nullptr;
    CG72xState g72xState_;
    G72xDecodeFn g72xDecode_ = nullptr;
    int codeBits_ = 0;
    std::uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
};

}  // namespace tonvela
