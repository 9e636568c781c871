// libFuzzer target: any bytes as the MP3 a conversion hands to the SWF writer, written as a
// streaming SWF (frame rate from the first byte) and as an event SWF.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "swf/MemoryTagSource.h"
#include "swf/SoundSwfLayouts.h"

namespace {

std::filesystem::path ScratchDir() {
    std::error_code ec;
    return std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                          : std::filesystem::temp_directory_path();
}

struct Scratch {
    std::filesystem::path mp3 = ScratchDir() / ("tonvela-fuzz-" + std::to_string(getpid()) + ".mp3");
    std::filesystem::path swf = ScratchDir() / ("tonvela-fuzz-" + std::to_string(getpid()) + ".swf");
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove(mp3, ec);
        std::filesystem::remove(swf, ec);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    if (size < 1) return 0;
    std::FILE* f = std::fopen(scratch.mp3.c_str(), "wb");
    if (f == nullptr) return 0;
    const bool written = std::fwrite(data + 1, 1, size - 1, f) == size - 1;
    if (std::fclose(f) != 0 || !written) return 0;

    tonvela::SoundSwfOptions options;
    options.frameRate = 1 + data[0] % 120;
    options.blankFrames = data[0] % 3;
    tonvela::SoundSwfNumbers numbers;
    numbers.outputSamples = static_cast<std::uint32_t>(size * 8);
    numbers.convertedSeconds = static_cast<int>(size / 4000);
    tonvela::TemplateActions actions;
    tonvela::CMemoryTagSource controls = tonvela::MakeDemoControlTemplate(100, 40, 0x00AA00, actions);
    (void)tonvela::WriteStreamingSwf(options, numbers, scratch.mp3, scratch.swf, controls, actions);
    (void)tonvela::WriteEventSwf(options, numbers, scratch.mp3, scratch.swf, controls, actions);
    return 0;
}
