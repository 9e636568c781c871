#include "swf/Mp3EventSound.h"

#include <algorithm>

#include "swf/SwfBits.h"
#include "swf/SwfFileWriter.h"

namespace tonvela {

namespace {
constexpr std::size_t kEventHeadSize = 6;
constexpr std::size_t kStartSoundSize = 7;
constexpr std::uint32_t kDefineSoundPrefix = 9;  // id, format, sample count, SeekSamples
constexpr std::size_t kCopyPiece = 4096;
}  // namespace

bool CMp3EventSound::WriteEventHead(std::uint8_t* buffer, std::size_t& capacity,
                                    std::size_t& length) {
    if (capacity < kEventHeadSize) {
        capacity = kEventHeadSize;
        return false;
    }
    std::uint8_t* p = WriteRecordHeader(buffer, kTagSoundStreamHead2, 4);
    p = WriteU32(p, 0);
    length = static_cast<std::size_t>(p - buffer);
    return true;
}

bool CMp3EventSound::WriteDefineSoundHeader(std::uint32_t sampleCount, std::uint8_t* buffer,
                                            std::size_t& capacity, std::size_t& length,
                                            std::uint16_t seekSamples) {
    if (!IsOpen() || FileSize() > UINT32_MAX - kDefineSoundPrefix) return false;
    const auto body = static_cast<std::uint32_t>(FileSize()) + kDefineSoundPrefix;
    const std::size_t size = RecordHeaderSize(body) + kDefineSoundPrefix;
    if (capacity < size) {
        capacity = size;
        return false;
    }
    const auto bits = static_cast<std::uint32_t>(SwfSoundRateCode(sampleRate_) << 2 | 2 | (channels_ == 2 ? 1 : 0));
    std::uint8_t* p = WriteRecordHeader(buffer, kTagDefineSound, body);
    p = WriteU16(p, 1);           // SoundId
    p = WriteU8(p, 0x20 | bits);  // MP3, rate, 16-bit, channels
    p = WriteU32(p, sampleCount);
    p = WriteU16(p, seekSamples);  // SeekSamples
    length = static_cast<std::size_t>(p - buffer);
    return true;
}

std::uint64_t CMp3EventSound::CopyData(CSwfFileWriter& out) {
    if (!Rewind()) return 0;
    std::uint8_t piece[kCopyPiece];
    std::uint64_t copied = 0;
    while (copied < FileSize()) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyPiece, FileSize() - copied));
        if (!ReadExact(piece, n) || !out.WriteBytes(piece, n)) break;
        copied += n;
    }
    return copied;
}

bool CMp3EventSound::WriteStartSound(std::uint16_t loopCount, std::uint8_t* buffer,
                                     std::size_t& capacity, std::size_t& length) {
    if (capacity < kStartSoundSize) {
        capacity = kStartSoundSize;
        return false;
    }
    std::uint8_t* p = WriteRecordHeader(buffer, kTagStartSound, 5);
    p = WriteU16(p, 1);     // SoundId
    p = WriteU8(p, 0x04);   // SOUNDINFO: HasLoops only
    p = WriteU16(p, loopCount);
    length = static_cast<std::size_t>(p - buffer);
    return true;
}

}  // namespace tonvela
