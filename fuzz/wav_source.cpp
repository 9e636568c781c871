// libFuzzer target: any bytes as a WAV file, opened and read to the end.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/AudioSource.h"
#include "audio/WavAudioSource.h"

namespace {

// One scratch file per fuzzing process, in memory when /dev/shm exists.
std::string ScratchPath() {
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::is_directory("/dev/shm", ec)
                                          ? std::filesystem::path("/dev/shm")
                                          : std::filesystem::temp_directory_path();
    return (dir / ("tonvela-fuzz-wav-" + std::to_string(getpid()) + ".wav")).string();
}

struct ScratchFile {
    std::string path = ScratchPath();
    ~ScratchFile() { std::remove(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchFile scratch;
    std::FILE* f = std::fopen(scratch.path.c_str(), "wb");
    if (f == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;

    tonvela::CWavAudioSource wav;
    if (!wav.Open(scratch.path, 0)) return 0;
    // Exactly the buffers a caller provides: anything written past them is a finding.
    std::vector<std::int16_t> left(tonvela::kReadFrames), right(tonvela::kReadFrames);
    const bool stereo = wav.GetOutputChannels() == 2;
    for (int i = 0; i < 100000 && wav.Read(left.data(), stereo ? right.data() : nullptr) > 0; ++i) {
    }
    (void)wav.GetDuration();
    (void)wav.GetBitRate();
    return 0;
}
