// Module music (MOD, XM, IT, S3M, ...) rendered by libopenmpt as interleaved 16-bit stereo.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/DecoderLibrary.h"

struct openmpt_module;

namespace tonvela {

// Why a file that is module music is refused (larger than kMaxModuleBytes); empty otherwise.
std::string OpenmptRefusalReason(const std::string& path);

class COpenmptMusic final : public CDecoderChannel {
public:
    // nullptr when the file is not module music libopenmpt can load. sampleRate 0 means 44100.
    static std::unique_ptr<COpenmptMusic> Load(const std::string& path, int sampleRate);
    ~COpenmptMusic() override;

    DecoderChannelInfo GetInfo() const override { return {rate_, 2, 0}; }
    std::uint64_t GetLength() const override { return length_; }
    double BytesToSeconds(std::uint64_t bytes) const override;
    // Music has no file size to report, just as the libraries' own music handles.
    std::uint64_t GetFileSize() const override { return kDecoderNoFileSize; }
    std::uint32_t GetData(void* buffer, std::uint32_t bytes) override;
    std::uint64_t GetPosition() const override { return position_; }

private:
    COpenmptMusic() = default;

    openmpt_module* module_ = nullptr;
    int rate_ = 0;
    std::uint64_t length_ = 0;
    std::uint64_t position_ = 0;
};

}  // namespace tonvela
