// How long an MPEG audio stream (Layer I, II or III) is, from the frames that are in the file: a
// Xing/Info or VBRI header when it agrees with the file, else the frame headers read one after the
// other up to the first place where no frame follows. Zeros or junk after the last frame (a file
// padded to a size, a damaged copy) add nothing, whatever the file's size.
#pragma once

#include <cstdint>
#include <optional>

namespace tonvela {

struct MpegStreamLength {
    std::uint64_t samples = 0;  // per channel, the tag frame not included
    int sampleRate = 0;
    std::uint64_t end = 0;      // offset in the file where the frames end
    // Every frame was counted (or a consistent tag gave the count). False when the stream was
    // longer than the scan reads: its middle is then estimated from the frames read, and only
    // its end is looked for.
    bool counted = false;
};

// At most this many bytes of frames are read one header after the other (about 70 minutes at
// 128 kbit/s); past them, the end of the frames is found by probing, not by reading.
inline constexpr std::uint64_t kMpegScanBytes = std::uint64_t{64} << 20;

// Measures the stream of the open file fd with pread (fd's offset is left alone), reading a
// bounded buffer at a time and at most scanBytes of frames one by one. nullopt when no run of
// MPEG audio frames starts near the file's beginning (after its ID3v2 tags).
std::optional<MpegStreamLength> MeasureMpegStream(int fd, std::uint64_t scanBytes = kMpegScanBytes);

}  // namespace tonvela
