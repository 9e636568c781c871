// The 4-byte MPEG audio frame header: what a frame holds and how long it is, from the header
// alone (no side information, no Xing/Info frame).
#pragma once

#include <cstdint>

namespace tonvela {

// MPEG audio header facts, decoded from the 4 header bytes (big-endian).
struct Mp3FrameHeader {
    int version = 0;          // version bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;            // layer bits: 3 Layer I, 2 Layer II, 1 Layer III
    int bitRate = 0;          // kbit/s
    int sampleRate = 0;       // Hz
    int samplesPerFrame = 0;  // 384, 1152 or 576
    int channels = 0;         // 1 or 2
    int length = 0;           // bytes of the whole frame, header included
};

// Decodes a header; false without sync, with a reserved version or layer, a free-format or bad
// bit-rate index, or a reserved sample-rate index.
bool DecodeMp3FrameHeader(std::uint32_t header, Mp3FrameHeader& out);

}  // namespace tonvela
