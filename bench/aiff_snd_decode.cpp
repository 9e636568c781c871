// Decodes an AIFF/AIFF-C or NeXT/Sun file to the end through the built-in reader chosen by the
// extension, the way a conversion reads it; prints the frames and a checksum so the work cannot
// be skipped.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio/AiffAudioSource.h"
#include "audio/AudioSource.h"
#include "audio/SndAudioSource.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_aiff_snd_decode FILE.aif|FILE.au\n");
        return 2;
    }
    std::unique_ptr<tonvela::CAudioSource> source;
    if (tonvela::AudioKindFromPath(argv[1]) == tonvela::AudioKindSnd)
        source = std::make_unique<tonvela::CSndAudioSource>();
    else
        source = std::make_unique<tonvela::CAiffAudioSource>();
    if (!source->Open(argv[1], 0)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<std::int16_t> left(tonvela::kReadFrames), right(tonvela::kReadFrames);
    const bool stereo = source->GetOutputChannels() == 2;
    std::uint64_t frames = 0;
    std::uint32_t sum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int n; (n = source->Read(left.data(), stereo ? right.data() : nullptr)) > 0;) {
        frames += static_cast<std::uint64_t>(n);
        sum = sum * 31u + static_cast<std::uint16_t>(left[0]) +
              static_cast<std::uint16_t>(right[static_cast<std::size_t>(n - 1)]);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu frames, checksum %08x, %.3f s decoding\n", static_cast<unsigned long long>(frames), sum, seconds);
    return 0;
}
