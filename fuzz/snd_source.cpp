// libFuzzer target: the NeXT/Sun reader on arbitrary bytes, read to the end.
#include "FuzzAudioSource.h"
#include "audio/SndAudioSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tonvela::CSndAudioSource source;
    return tonvela::fuzz::ReadWholeSource(source, ".au", data, size);
}
