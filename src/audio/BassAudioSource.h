// The audio source for every format the built-in readers leave alone: streams decoded by FFmpeg
// and module music rendered by libopenmpt, through the decoding-library layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioSource.h"
#include "audio/DecoderLibrary.h"

namespace tonvela {

class CBassAudioSource : public CAudioSource {
public:
    // probeName: the file's own name, whose extension guides the decoder's format probe when
    // Open is given a /proc/self/fd name; empty: the path itself.
    explicit CBassAudioSource(std::string probeName = {}) : probeName_(std::move(probeName)) {}
    ~CBassAudioSource() override;

    void Close() override;
    // A decode-only stream first; when that fails, module music rendered at musicRate.
    bool Open(const std::string& path, int musicRate) override;
    int Read(void* left, void* right) override;
    std::uint64_t GetPosition() const override;

    bool IsMusic() const { return isMusic_; }
    const std::string& GetPath() const { return path_; }

    // Takes an already open channel as if Open had made it; lets tests drive Read with
    // channel formats the libraries do not produce (8-bit data).
    bool OpenChannel(std::unique_ptr<CDecoderChannel> channel, bool isMusic, const std::string& path);

private:
    // length_ (decoded bytes) and what follows from it: the duration and the bit rate.
    void SetDecodedLength(std::uint64_t bytes);

    bool isMusic_ = false;
    std::unique_ptr<CDecoderChannel> handle_;
    std::vector<std::int16_t> interleaved_;  // 16-bit storage keeps 16-bit reads aligned
    std::uint32_t interleavedBytes_ = 0;
    std::string path_;
    std::string probeName_;
};

}  // namespace tonvela
