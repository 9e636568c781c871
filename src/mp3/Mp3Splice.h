// Joining the outputs of several Layer III encoders that worked on overlapping pieces of one
// sound into one stream. A frame's main data may start in earlier frames (the bit reservoir:
// main_data_begin counts main-data bytes back from its header), and two encoders rarely hold
// the same reservoir where they meet. So the later stream's frames from the join on are laid
// out again, their main data packed after the earlier stream's as one encoder would have
// placed it; a join is made only where every frame needed then still fits and both streams
// agree on the window shape at the seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tonvela {

struct Mp3FrameSpan {
    std::size_t offset = 0;     // of the header in the stream
    std::size_t length = 0;     // whole frame
    std::size_t mainStart = 0;  // offset of the main-data area (after header, CRC, side info)
    int mainDataBegin = 0;
    std::size_t mainDataBytes = 0;  // bytes of audio data the frame needs (its granules' bits)
    int lastBlockType[2] = {0, 0};  // block type of the last granule, per channel
};

struct Mp3FrameIndex {
    std::vector<Mp3FrameSpan> frames;
    int version = 0;
    int samplesPerFrame = 0;
    int channels = 0;
};

// Indexes a stream of Layer III frames of one version, rate and channel count. False when a
// byte range is not such a frame or a frame's data does not lie within the stream (and the
// reservoirBefore bytes before it) before its successor's header. With partialTail, bytes of
// a last frame not yet complete are left out of the index instead of failing.
bool IndexMp3Frames(const std::vector<std::uint8_t>& bytes, Mp3FrameIndex& out, std::size_t reservoirBefore = 0,
                    bool partialTail = false);

// Frames of one encoder; frame i of the index is global frame firstFrame + i.
struct Mp3Stream {
    std::vector<std::uint8_t> bytes;
    Mp3FrameIndex index;
    std::size_t firstFrame = 0;
    std::size_t EndFrame() const { return firstFrame + index.frames.size(); }
};

// A stream's frames from one frame on, laid out again behind freeBytes main-data bytes that
// precede them: head holds the data for those bytes; stream as many frames as still fit.
struct Mp3Relaid {
    std::vector<std::uint8_t> head;
    Mp3Stream stream;
};
Mp3Relaid RelayMp3Frames(const Mp3Stream& raw, std::size_t fromFrame, std::size_t freeBytes);

struct Mp3Join {
    std::size_t frame = 0;  // global frame where the later stream takes over
    Mp3Relaid later;        // the later stream from there on
};

// The first global frame in [from, to) where the later (raw) stream can follow the earlier
// one: both have that frame and the one before, the window shapes agree at the seam, and the
// later frames laid out after the bytes the earlier stream's frames from there on left free
// fit up to needUntil. Bytes of earlier frames before keepFrom are never taken.
std::optional<Mp3Join> FindMp3Join(const Mp3Stream& earlier, std::size_t keepFrom, const Mp3Stream& later,
                                   std::size_t from, std::size_t to, std::size_t needUntil);

// Writes the join's head into the earlier stream's free bytes before the join frame.
void PatchMp3Join(Mp3Stream& earlier, const Mp3Join& join);

}  // namespace tonvela
