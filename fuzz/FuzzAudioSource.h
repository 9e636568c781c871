// Shared body of the reader fuzz targets: the bytes go through a file of this process's own
// (the readers open paths), then the reader opens it and reads it to the end into exactly the
// buffers a caller allocates, so any overrun is caught.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "audio/AudioSource.h"

namespace tonvela::fuzz {

inline const std::string& InputPath(const char* extension) {
    struct Path {
        std::string name;
        ~Path() { unlink(name.c_str()); }
    };
    static const Path path{"/tmp/tonvela-fuzz-" + std::to_string(getpid()) + extension};
    return path.name;
}

inline bool WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Source is reused across inputs: every Open must start from a clean state.
template <class Source>
int ReadWholeSource(Source& source, const char* extension, const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath(extension);
    if (!WriteInput(path, data, size)) return 0;
    if (source.Open(path, 0)) {
        const int outputs = source.GetOutputChannels();
        const int bytes = source.GetBitsPerSample() / 8;
        if (outputs < 1 || outputs > 2 || (bytes != 1 && bytes != 2)) __builtin_trap();
        std::unique_ptr<std::uint8_t[]> left(new std::uint8_t[kReadFrames * bytes]);
        std::unique_ptr<std::uint8_t[]> right(outputs == 2 ? new std::uint8_t[kReadFrames * bytes] : nullptr);
        for (long frames = 0; frames < 400000;) {
            const int n = source.Read(left.get(), right.get());
            if (n < 1) break;
            if (n > kReadFrames) __builtin_trap();
            frames += n;
        }
        (void)source.GetDuration();
        (void)source.GetBitRate();
    }
    source.Close();
    return 0;
}

}  // namespace tonvela::fuzz
