#include "audio/codecs/Gsm610.h"

#include <gsm/gsm.h>

namespace tonvela {

CGsm610Decoder::~CGsm610Decoder() { Destroy(); }

void CGsm610Decoder::Destroy() {
    if (handle_ != nullptr) gsm_destroy(handle_);
    handle_ = nullptr;
    wav49_ = false;
}

bool CGsm610Decoder::Create(bool wav49) {
    Destroy();
    handle_ = gsm_create();
    if (handle_ == nullptr) return false;
    if (wav49) {
        int one = 1;
        if (gsm_option(handle_, GSM_OPT_WAV49, &one) < 0) {
            Destroy();
            return false;
        }
    }
    wav49_ = wav49;
    return true;
}

bool CGsm610Decoder::DecodeFrame(const std::uint8_t* frame, std::int16_t* out) {
    if (handle_ == nullptr || wav49_) return false;
    // libgsm takes non-const pointers but only reads the frame.
    return gsm_decode(handle_, const_cast<gsm_byte*>(frame), out) >= 0;
}

bool CGsm610Decoder::DecodeWav49Block(const std::uint8_t* block, std::int16_t* out) {
    if (handle_ == nullptr || !wav49_) return false;
    // The library alternates between the two halves itself, so both calls always happen.
    const bool first = gsm_decode(handle_, const_cast<gsm_byte*>(block), out) >= 0;
    const bool second = gsm_decode(handle_, const_cast<gsm_byte*>(block + kFrameBytes), out + kFrameSamples) >= 0;
    return first && second;
}

}  // namespace tonvela
