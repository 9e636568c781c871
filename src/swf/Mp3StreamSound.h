// The MP3 as a streaming sound: SoundStreamHead and the SoundStreamBlock of each SWF frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "swf/Mp3SoundFile.h"

namespace tonvela {

class CMp3StreamSound : public CMp3SoundFile {
public:
    // SWF frames per second, 1 to 255; set before WriteStreamHead.
    void SetFrameRate(int fps) { frameRate_ = fps; }
    int FrameRate() const { return frameRate_; }
    int SamplesPerSwfFrame() const { return samplesPerSwfFrame_; }
    int SampleCarry() const { return carry_; }

    bool Rewind() override;

    // SoundStreamHead (8 bytes). Fixes the samples per SWF frame. Capacity protocol: below the
    // tag's size, stores the size needed in capacity and returns false.
    bool WriteStreamHead(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);

    // The next frame's SoundStreamBlock. Returns false at the end of the sound (and on a read
    // error: check ReadFailed()). A buffer that is too small gives true with length 0 and the
    // size needed in capacity; nothing is consumed, so call again with a larger buffer.
    //
    // Each SWF frame gets the whole MP3 frames that keep the sound at or just behind the
    // timeline, the shortfall carried into the next frame (SeekSamples). When one SWF frame is
    // not longer than one MP3 frame, that rule would deliver nothing, so there each frame gets
    // the MP3 frames that bring the sound level with or just ahead of the timeline, and a frame
    // owed nothing gets an empty block (SampleCount 0): players that count samples per frame
    // then never see the stream fall behind, and no frame is left without a block.
    bool WriteStreamBlock(std::uint8_t* buffer, std::size_t& capacity, std::size_t& length);

private:
    void WriteBlock(std::uint8_t* buffer, std::size_t bytes, int frames, int seek,
                    std::size_t& length) const;

    int frameRate_ = 12;
    int samplesPerSwfFrame_ = 0;
    // Samples the timeline is ahead of the sound delivered so far (negative: sound ahead).
    int carry_ = 0;
};

}  // namespace tonvela
