// GSM 06.10 decoding through libgsm, with the WAV49 framing of WAV files or plain frames.
#pragma once

#include <cstdint>

struct gsm_state;

namespace tonvela {

class CGsm610Decoder {
public:
    static constexpr int kFrameBytes = 33;       // one plain frame
    static constexpr int kFrameSamples = 160;
    static constexpr int kWav49BlockBytes = 65;  // two frames packed into one WAV block
    static constexpr int kWav49BlockSamples = 320;

    CGsm610Decoder() = default;
    CGsm610Decoder(const CGsm610Decoder&) = delete;
    CGsm610Decoder& operator=(const CGsm610Decoder&) = delete;
    virtual ~CGsm610Decoder();

    // Creates the libgsm state (released first if one exists); wav49 selects the WAV framing.
    bool Create(bool wav49);
    void Destroy();
    bool IsCreated() const { return handle_ != nullptr; }

    // One plain 33-byte frame into 160 samples. False on a bad frame.
    bool DecodeFrame(const std::uint8_t* frame, std::int16_t* out);
    // One 65-byte WAV49 block into 320 samples (two library calls: 33 bytes, then the 32 bytes
    // from offset 33). False on a bad block.
    bool DecodeWav49Block(const std::uint8_t* block, std::int16_t* out);

private:
    gsm_state* handle_ = nullptr;
    bool wav49_ = false;
};

}  // namespace tonvela
