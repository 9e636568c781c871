// Decodes one file through the library-backed source, as the conversion does, and prints the
// frame count and a checksum (so the work cannot be optimised away). Timed from outside by
// bench/mp3_decode.sh.
#include <cstdint>
#include <cstdio>

#include "audio/BassAudioSource.h"
#include "audio/DecoderStartup.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    tonvela::CDecoderSession session;
    if (session.result() != tonvela::DecoderStartResult::Ok) return 1;
    tonvela::CBassAudioSource src;
    if (!src.Open(argv[1], 0)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::int16_t left[tonvela::kReadFrames], right[tonvela::kReadFrames];
    std::uint64_t frames = 0;
    std::uint32_t sum = 0;
    for (int n; (n = src.Read(left, right)) > 0;) {
        frames += static_cast<std::uint64_t>(n);
        sum = sum * 31u + static_cast<std::uint16_t>(left[0]) + static_cast<std::uint16_t>(right[n - 1]);
    }
    std::printf("%llu frames, checksum %08x\n", static_cast<unsigned long long>(frames), sum);
    return 0;
}
