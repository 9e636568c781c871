// Reader for RIFF/WAVE files: integer and float PCM, G.711, IMA and Microsoft ADPCM, GSM 06.10.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioSource.h"
#include "audio/codecs/G711.h"
#include "audio/codecs/Gsm610.h"
#include "audio/codecs/ImaAdpcm.h"
#include "audio/codecs/MsAdpcm.h"
#include "platform/UniqueFile.h"

namespace tonvela {

class CWavAudioSource : public CAudioSource {
public:
    CWavAudioSource() = default;
    ~CWavAudioSource() override;

    void Close() override;
    bool Open(const std::string& path, int musicRate) override;
    int Read(void* left, void* right) override;

    // Up to count raw bytes of the data chunk (for playing the file back as it is stored).
    // Returns the bytes read, 0 when the data is used up.
    std::size_t ReadData(void* buffer, std::size_t count);

    int GetFormatTag() const { return formatTag_; }

private:
    using Routine = int (CWavAudioSource::*)(void* left, void* right);
    using BlockDecoder = bool (CWavAudioSource::*)();

    bool WalkChunks();
    bool ReadFormatChunk(std::uint32_t size);
    bool Skip(std::uint64_t bytes);
    bool Resynchronise();
    bool SetUpDecoder();
    std::size_t BoundedRead(void* buffer, std::size_t count);

    template <std::size_t Width, class Convert>
    int ReadInterleaved(void* left, void* right, Convert convert);
    int ReadPcm8(void* left, void* right);
    int ReadPcm16(void* left, void* right);
    int ReadPcm24(void* left, void* right);
    int ReadPcm32(void* left, void* right);
    int ReadFloat32(void* left, void* right);
    int ReadFloat64(void* left, void* right);
    int ReadG711(void* left, void* right);
    int ReadBlocks(void* left, void* right);
    int HandOutDecoded(std::int16_t* left, std::int16_t* right, int frame);
    bool DecodeMsAdpcmBlock();
    bool DecodeImaAdpcmBlock();
    bool DecodeGsmBlock();

    CUniqueFile file_;
    int formatTag_ = 0;
    int fileBits_ = 0;
    int blockAlign_ = 0;
    int samplesPerBlock_ = 0;
    bool floatSubFormat_ = false;  // extensible record whose sub-format is IEEE float
    std::unique_ptr<CMsAdpcmDecoder> msAdpcm_;
    std::unique_ptr<CImaAdpcmDecoder> imaAdpcm_;
    std::unique_ptr<CGsm610Decoder> gsm_;
    std::vector<std::uint8_t> readBuffer_;
    std::vector<std::int16_t> decoded_;
    std::size_t blockBytes_ = 0;
    std::size_t blockSamples_ = 0;
    std::size_t decodedIndex_ = 0;
    Routine decodeRoutine_ = nullptr;
    BlockDecoder blockDecoder_ = nullptr;
    G711Expand expand_ = nullptr;
};

}  // namespace tonvela
