// bench_swf_stream MP3 OUT.swf [FPS]: writes one streaming SWF (no controls) from an MP3, the
// work of one conversion's SWF step, and prints the SWF's size.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "swf/MemoryTagSource.h"
#include "swf/Mp3SoundFile.h"
#include "swf/SoundSwfLayouts.h"

int main(int argc, char** argv) {
    using namespace tonvela;
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_swf_stream MP3 OUT.swf [FPS]\n");
        return 2;
    }
    SoundSwfOptions options;
    options.copyControls = false;
    if (argc > 3) options.frameRate = std::atoi(argv[3]);
    // The conversion reports the sound's length; for a CBR file it follows from size and bit rate
    // (no extra pass over the file, which the conversion does not make either).
    SoundSwfNumbers numbers;
    {
        CMp3SoundFile f;
        if (!f.Open(argv[1])) {
            std::fprintf(stderr, "not a usable MP3: %s\n", argv[1]);
            return 1;
        }
        const std::uint64_t seconds = f.FileSize() * 8 / (static_cast<std::uint64_t>(f.BitRate()) * 1000);
        numbers.convertedSeconds = static_cast<int>(seconds);
        numbers.outputSamples = static_cast<std::uint32_t>(seconds * static_cast<std::uint64_t>(f.SampleRate()));
    }
    TemplateActions actions;
    CMemoryTagSource empty = MakeDemoControlTemplate(1, 1, 0, actions);
    if (!WriteStreamingSwf(options, numbers, argv[1], argv[2], empty, actions)) {
        std::fprintf(stderr, "writing %s failed\n", argv[2]);
        return 1;
    }
    std::printf("%ju\n", static_cast<std::uintmax_t>(std::filesystem::file_size(argv[2])));
    return 0;
}
