// Feeds arbitrary bytes, as a file, to the library-backed source: open, read everything, close.
// FFmpeg and libopenmpt are not ours to fuzz; what is checked is our layer around them (the
// format record, the interleaved split, the converter set-up on odd channel layouts).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/BassAudioSource.h"
#include "audio/DecoderLibrary.h"

namespace {

std::string FuzzFile() {
    static const std::string path = "/tmp/tonvela-fuzz-bass-" + std::to_string(getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool started = tonvela::DecoderLibraryInit();
    (void)started;
    if (size < 1) return 0;
    {
        std::FILE* f = std::fopen(FuzzFile().c_str(), "wb");
        if (f == nullptr) return 0;
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    // The first byte picks the rate module music is rendered at.
    const int rates[4] = {0, 8000, 22050, 44100};
    tonvela::CBassAudioSource src;
    if (src.Open(FuzzFile(), rates[data[0] & 3])) {
        std::int16_t left[tonvela::kReadFrames], right[tonvela::kReadFrames];
        // Bounded: a tiny file may still describe a long song.
        for (int i = 0; i < 2000 && src.Read(left, right) > 0; ++i) {
        }
        (void)src.GetPosition();
    } else {
        // Why it was refused: the probe of what FFmpeg and libopenmpt recognise.
        (void)tonvela::DecoderRefusalReason(FuzzFile());
    }
    src.Close();
    std::remove(FuzzFile().c_str());
    return 0;
}
