// Decodes a WAV file to the end through the built-in WAV reader (not the decoding library), the
// way a conversion reads it; prints the frames and a checksum so the work cannot be skipped.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/AudioSource.h"
#include "audio/WavAudioSource.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_audio_decode FILE.wav\n");
        return 2;
    }
    tonvela::CWavAudioSource wav;
    if (!wav.Open(argv[1], 0)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<std::int16_t> left(tonvela::kReadFrames), right(tonvela::kReadFrames);
    const bool stereo = wav.GetOutputChannels() == 2;
    std::uint64_t frames = 0;
    std::uint32_t sum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int n; (n = wav.Read(left.data(), stereo ? right.data() : nullptr)) > 0;) {
        frames += static_cast<std::uint64_t>(n);
        sum = sum * 31u + static_cast<std::uint16_t>(left[0]) + static_cast<std::uint16_t>(right[static_cast<std::size_t>(n - 1)]);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu frames in %.3f s (checksum %08x)\n", static_cast<unsigned long long>(frames), seconds, sum);
    return 0;
}
