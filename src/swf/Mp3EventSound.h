// The MP3 as an event sound: an empty SoundStreamHead2, DefineSound with the whole file, and
// StartSound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "swf/Mp3SoundFile.h"

namespace tonvela {

class CSwfFileWriter;

class CMp3EventSound : public CMp3SoundFile {
public:
    // Tag writers: below the tag's size they store the size needed in capacity and return false.
    // SoundStreamHead2 declaring no stream (6 bytes).
    bool WriteEventHead(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);
    // DefineSound header (up to 15 bytes) for the whole file as sound 1; CopyData must follow.
    // False also when the file is too large for one tag.
    // seekSamples: the samples a player skips at the start and at every loop (the encoder's
    // and the decoder's delay), so that a looping event sound has no gap.
    bool WriteDefineSoundHeader(std::uint32_t sampleCount, std::uint8_t* buffer,
                                std::size_t& capacity, std::size_t& length, std::uint16_t seekSamples = 0);
    // Appends the whole file from the data start to out, in pieces. Returns the bytes copied;
    // anything but FileSize() means the copy failed (read or write).
    std::uint64_t CopyData(CSwfFileWriter& out);
    // StartSound of sound 1 with a loop count (7 bytes).
    bool WriteStartSound(std::uint16_t loopCount, std::uint8_t* buffer, std::size_t& capacity,
                         std::size_t& length);
};

}  // namespace tonvela
