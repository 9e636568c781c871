// libFuzzer target: the NeXT/Sun reader on arbitrary bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/SndAudioSource.h"

namespace {

// The reader opens paths, so each input goes through a file of this process's own.
const std::string& InputPath() {
    struct Path {
        std::string name;
        ~Path() { unlink(name.c_str()); }
    };
    static const Path path{"/tmp/fuzz_snd_" + std::to_string(getpid()) + ".au"};
    return path.name;
}

bool WriteInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    static tonvela::CSndAudioSource source;  // reused: every Open must start from a clean state
    if (source.Open(InputPath(), 0)) {
        const int outputs = source.GetOutputChannels();
        const int bytes = source.GetBitsPerSample() / 8;
        if (outputs < 1 || outputs > 2 || (bytes != 1 && bytes != 2)) __builtin_trap();
        // Exactly the buffers a caller allocates, so any overrun is caught.
        std::unique_ptr<std::uint8_t[]> left(new std::uint8_t[tonvela::kReadFrames * bytes]);
        std::unique_ptr<std::uint8_t[]> right(outputs == 2 ? new std::uint8_t[tonvela::kReadFrames * bytes] : nullptr);
        for (long frames = 0; frames < 400000;) {
            const int n = source.Read(left.get(), right.get());
            if (n < 1) break;
            if (n > tonvela::kReadFrames) __builtin_trap();
            frames += n;
        }
    }
    source.Close();
    return 0;
}
