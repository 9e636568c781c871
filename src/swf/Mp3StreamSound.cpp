#include "swf/Mp3StreamSound.h"

#include <algorithm>

#include "swf/SwfBits.h"

namespace tonvela {

namespace {
constexpr std::size_t kStreamHeadSize = 8;
constexpr std::uint32_t kBlockPrefix = 4;  // UI16 SampleCount, SI16 SeekSamples
}  // namespace

bool CMp3StreamSound::Rewind() {
    carry_ = 0;
    return CMp3SoundFile::Rewind();
}

bool CMp3StreamSound::WriteStreamHead(std::uint8_t* buffer, std::size_t& capacity,
                                      std::size_t& length) {
    if (capacity < kStreamHeadSize) {
        capacity = kStreamHeadSize;
        return false;
    }
    if (!IsOpen() || frameRate_ < 1) return false;
    samplesPerSwfFrame_ = sampleRate_ / frameRate_;
    const auto bits = static_cast<std::uint32_t>(SwfSoundRateCode(sampleRate_) << 2 | 2 | (channels_ == 2 ? 1 : 0));
    std::uint8_t* p = WriteRecordHeader(buffer, kTagSoundStreamHead, 6);
    p = WriteU8(p, bits);          // playback rate, 16-bit, channels
    p = WriteU8(p, 0x20 | bits);   // MP3, stream rate, 16-bit, channels
    p = WriteU16(p, static_cast<std::uint32_t>(samplesPerSwfFrame_));
    p = WriteU16(p, 0);            // LatencySeek
    length = static_cast<std::size_t>(p - buffer);
    return true;
}

void CMp3StreamSound::WriteBlock(std::uint8_t* buffer, std::size_t bytes, int frames, int seek,
                                 std::size_t& length) const {
    std::uint8_t* p = WriteRecordHeader(buffer, kTagSoundStreamBlock,
                                        static_cast<std::uint32_t>(bytes) + kBlockPrefix);
    p = WriteU16(p, static_cast<std::uint32_t>(frames * samplesPerFrame_));
    p = WriteU16(p, static_cast<std::uint32_t>(seek));
    length = static_cast<std::size_t>(p - buffer) + bytes;
}

bool CMp3StreamSound::WriteStreamBlock(std::uint8_t* buffer, std::size_t& capacity,
                                       std::size_t& length) {
    length = 0;
    if (!IsOpen() || samplesPerSwfFrame_ <= 0) return false;
    const int spf = samplesPerSwfFrame_;
    const int spm = samplesPerFrame_;
    int need = spf + carry_;  // samples the timeline will be ahead after this frame, if given none

    // Sound already level with or ahead of the end of this frame: an empty block.
    auto emptyBlock = [&]() {
        if (capacity < RecordHeaderSize(kBlockPrefix) + kBlockPrefix) {
            capacity = RecordHeaderSize(kBlockPrefix) + kBlockPrefix;
            return true;
        }
        WriteBlock(buffer, 0, 0, 0, length);
        carry_ = need;
        return true;
    };
    if (need <= 0) return emptyBlock();

    // Take frames while the timeline is more than one MP3 frame ahead (the normal rule), or at
    // all ahead (frames not longer than one MP3 frame).
    const int threshold = spf > spm ? spm : 0;
    const std::uint64_t start = Position();
    std::size_t bytes = 0;
    int frames = 0;
    do {
        const int len = NextFrameLength();
        if (len <= 0) break;
        bytes += static_cast<std::size_t>(len);
        need -= spm;
        ++frames;
    } while (need > threshold);

    if (bytes == 0) {
        if (ReadFailed()) return false;
        // End of the data. The sound delivered last may still run into this frame (only when
        // the sound runs ahead of the timeline): give the frame an empty block so the movie
        // does not end before the sound does.
        need = spf + carry_;
        if (need < spf) return emptyBlock();
        return false;
    }
    const std::size_t tagSize = bytes + RecordHeaderSize(static_cast<std::uint32_t>(bytes) + kBlockPrefix) + kBlockPrefix;
    if (capacity < bytes + 10) {
        Seek(start);
        capacity = bytes + 10;
        length = 0;
        return true;
    }
    const int seek = std::max(carry_, 0);  // samples of this block before the frame starts
    WriteBlock(buffer, bytes, frames, seek, length);
    carry_ = need;
    Seek(start);
    if (!ReadExact(buffer + (tagSize - bytes), bytes)) {
        length = 0;
        return false;
    }
    return true;
}

}  // namespace tonvela
