// libFuzzer target: the AIFF/AIFF-C reader on arbitrary bytes, read to the end.
#include "FuzzAudioSource.h"
#include "audio/AiffAudioSource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tonvela::CAiffAudioSource source;
    return tonvela::fuzz::ReadWholeSource(source, ".aif", data, size);
}
