// The header of a SWF file: signature, version, declared length, frame size, rate and count.
// Uncompressed ("FWS") and zlib-compressed ("CWS") movies; for the latter only as much of the
// stream is inflated as the header needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "swf/SwfBits.h"

namespace tonvela {

struct SwfHeader {
    bool compressed = false;       // "CWS"
    int version = 0;
    std::uint32_t fileLength = 0;  // declared length of the whole movie, uncompressed
    SwfRect frame;                 // twips
    std::uint16_t frameRate = 0;   // 8.8 fixed point
    std::uint16_t frameCount = 0;

    std::int64_t FrameWidthTwips() const { return std::int64_t{frame.xmax} - frame.xmin; }
    std::int64_t FrameHeightTwips() const { return std::int64_t{frame.ymax} - frame.ymin; }
};

// The most a header takes: 8 bytes, a RECT of up to 17 bytes, rate and count.
inline constexpr std::size_t kMaxSwfHeaderBytes = 8 + 17 + 4;

// The header at the start of a movie's bytes (compressed ones inflated as far as needed).
// Nothing for another signature (including LZMA "ZWS"), bytes that end inside the header, or a
// compressed stream that does not inflate.
std::optional<SwfHeader> ParseSwfHeader(const std::uint8_t* data, std::size_t size);

// The same for a regular file, of which only the start is read.
std::optional<SwfHeader> ReadSwfHeader(const std::filesystem::path& path);

}  // namespace tonvela
