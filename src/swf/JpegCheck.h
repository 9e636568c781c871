// Whether bytes hold a whole baseline or progressive JPEG picture: a player shows nothing (or
// garbage) for an empty, cut or foreign file embedded as the background.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonvela {

// True when the bytes start with a JPEG start marker, every segment fits, a frame header
// comes before the first scan, and the scans run to an end marker (bytes after it are allowed).
bool IsCompleteJpeg(const std::uint8_t* data, std::size_t size);

}  // namespace tonvela
