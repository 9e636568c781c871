#include "swf/Mp3SoundFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/OpenRegularFile.h"

namespace tonvela {

namespace {

constexpr std::size_t kReadBufferSize = 64 * 1024;

}  // namespace

int SwfSoundRateCode(int sampleRate) {
    switch (sampleRate) {
        case 11025: return 1;
        case 22050: return 2;
        case 44100: return 3;
        default: return 0;
    }
}

bool CMp3SoundFile::Open(const std::filesystem::path& path) {
    Close();
    fd_ = OpenRegularFile(path);
    if (!fd_.IsOpen()) return false;
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0) {
        Close();
        return false;
    }
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    buffer_.resize(kReadBufferSize);

    std::uint8_t b[4];
    Mp3FrameHeader f;
    // The first frame header must sit at offset 0; the emphasis value 2 is reserved.
    if (!ReadExact(b, 4) || (b[3] & 3) == 2 ||
        !DecodeMp3FrameHeader(static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3], f) ||
        SwfSoundRateCode(f.sampleRate) == 0 || static_cast<std::uint64_t>(f.length) > fileSize_) {
        Close();
        return false;
    }
    first_ = f;
    channels_ = f.channels;
    sampleRate_ = f.sampleRate;
    bitRate_ = f.bitRate;
    samplesPerFrame_ = f.samplesPerFrame;
    dataStart_ = 0;
    pos_ = 0;
    return true;
}

void CMp3SoundFile::Close() {
    fd_.Reset();
    channels_ = sampleRate_ = bitRate_ = samplesPerFrame_ = 0;
    dataStart_ = -1;
    fileSize_ = pos_ = bufferStart_ = 0;
    bufferLength_ = 0;
    buffer_.clear();
    buffer_.shrink_to_fit();
    readFailed_ = false;
}

bool CMp3SoundFile::Rewind() {
    if (!fd_.IsOpen() || dataStart_ < 0) return false;
    pos_ = static_cast<std::uint64_t>(dataStart_);
    return true;
}

int CMp3SoundFile::NextFrameLength() {
    std::uint8_t b[4];
    const std::uint64_t start = pos_;
    // On 0 or -1 the position stays at the frame that could not be taken.
    if (Read(b, 4) < 4) {
        pos_ = start;
        return 0;
    }
    pos_ = start;
    Mp3FrameHeader f;
    const std::uint32_t h = static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
    if (!DecodeMp3FrameHeader(h, f)) return -1;
    // A block's sample count assumes one frame size for the whole stream.
    if (f.version != first_.version || f.layer != first_.layer || f.sampleRate != first_.sampleRate)
        return -1;
    if (start + static_cast<std::uint64_t>(f.length) > fileSize_) return 0;  // cut short
    pos_ = start + static_cast<std::uint64_t>(f.length);
    return f.length;
}

bool CMp3SoundFile::ReadExact(std::uint8_t* dst, std::size_t size) {
    return Read(dst, size) == size;
}

std::size_t CMp3SoundFile::Read(std::uint8_t* dst, std::size_t size) {
    std::size_t done = 0;
    while (done < size && fd_.IsOpen()) {
        if (pos_ >= bufferStart_ && pos_ < bufferStart_ + bufferLength_) {
            const std::size_t at = static_cast<std::size_t>(pos_ - bufferStart_);
            const std::size_t n = std::min(size - done, bufferLength_ - at);
            std::memcpy(dst + done, buffer_.data() + at, n);
            done += n;
            pos_ += n;
            continue;
        }
        if (pos_ >= fileSize_) break;
        // Refill the buffer at pos_.
        ssize_t got;
        do {
            got = ::pread(fd_.Get(), buffer_.data(), buffer_.size(), static_cast<off_t>(pos_));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            readFailed_ = true;
            break;
        }
        bufferStart_ = pos_;
        bufferLength_ = static_cast<std::size_t>(got);
        if (got == 0) {
            readFailed_ = true;  // the file shrank while it was being read
            break;
        }
    }
    return done;
}

}  // namespace tonvela
