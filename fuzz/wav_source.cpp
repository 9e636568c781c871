// libFuzzer target: the WAV reader on arbitrary bytes, read to the end.
#include "FuzzAudioSource.h"
#include "audio/WavAudioSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tonvela::CWavAudioSource source;
    return tonvela::fuzz::ReadWholeSource(source, ".wav", data, size);
}
