#include "audio/MpegStreamLength.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "audio/Mp3FrameHeader.h"

namespace tonvela {

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// The first frame is looked for this far after the ID3v2 tags.
constexpr std::uint64_t kSyncWindow = 64 * 1024;
// A probe for frames looks this far from its offset: more than the longest frame (2881 bytes).
constexpr std::uint64_t kProbeWindow = 8 * 1024;
// Headers in a row that make a place a run of frames, not a chance 0xFFF pattern.
constexpr int kChainFrames = 3;

// pread through one bounded buffer; a run of reads at rising offsets costs one call per buffer.
class CBufferedReader {
public:
    CBufferedReader(int fd, std::uint64_t size) : fd_(fd), size_(size), buffer_(kBufferBytes) {}

    std::uint64_t Size() const { return size_; }

    // The n bytes at off (n at most kBufferBytes); false past the end or on a read error.
    bool Read(std::uint64_t off, std::uint8_t* out, std::size_t n) {
        if (n > kBufferBytes || off > size_ || size_ - off < n) return false;
        if (off < start_ || off + n > start_ + held_) {
            // A little before off stays in: a look a few frames ahead, then the next byte back,
            // costs no second read.
            if (!Fill(off - std::min(off, kProbeWindow))) return false;
            if (off < start_) return false;
            if (off + n > start_ + held_) return false;
        }
        std::memcpy(out, buffer_.data() + (off - start_), n);
        return true;
    }

    bool Header(std::uint64_t off, Mp3FrameHeader& h) {
        std::uint8_t b[4];
        if (!Read(off, b, 4)) return false;
        const std::uint32_t word = static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
                                   static_cast<std::uint32_t>(b[2]) << 8 | b[3];
        return DecodeMp3FrameHeader(word, h);
    }

private:
    bool Fill(std::uint64_t off) {
        start_ = off;
        held_ = 0;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferBytes, size_ - off));
        while (held_ < want) {
            const ssize_t n = ::pread(fd_, buffer_.data() + held_, want - held_, static_cast<off_t>(off + held_));
            if (n > 0) {
                held_ += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            return held_ > 0;  // the file shrank, or a read error: what was read is all there is
        }
        return true;
    }

    int fd_;
    std::uint64_t size_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t start_ = 0;
    std::size_t held_ = 0;
};

bool SameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// A frame of the stream at off, and the next one whole in the file.
bool FrameAt(CBufferedReader& in, std::uint64_t off, const Mp3FrameHeader& stream, Mp3FrameHeader& h) {
    return in.Header(off, h) && SameStream(h, stream) && off + static_cast<std::uint64_t>(h.length) <= in.Size();
}

// A frame at off followed by frames of the same stream (or by the end of the file).
bool ChainAt(CBufferedReader& in, std::uint64_t off, Mp3FrameHeader& first) {
    if (!in.Header(off, first) || off + static_cast<std::uint64_t>(first.length) > in.Size()) return false;
    std::uint64_t at = off + static_cast<std::uint64_t>(first.length);
    for (int i = 1; i < kChainFrames && at < in.Size(); ++i) {
        Mp3FrameHeader next;
        if (!FrameAt(in, at, first, next)) return false;
        at += static_cast<std::uint64_t>(next.length);
    }
    return true;
}

// Where in [off, off + window) a chain of frames of the stream starts, if it does.
std::optional<std::uint64_t> FramesNear(CBufferedReader& in, std::uint64_t off, std::uint64_t window,
                                        const Mp3FrameHeader& stream) {
    for (std::uint64_t at = off; at < off + window && at < in.Size(); ++at) {
        Mp3FrameHeader h;
        if (ChainAt(in, at, h) && SameStream(h, stream)) return at;
    }
    return std::nullopt;
}

// Where the ID3v2 tags from off end (off when there is none).
std::uint64_t SkipId3v2Tags(CBufferedReader& in, std::uint64_t off) {
    for (int tags = 0; tags < 16; ++tags) {
        std::uint8_t b[10];
        if (!in.Read(off, b, sizeof b) || std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) break;
        if (((b[6] | b[7] | b[8] | b[9]) & 0x80) != 0) break;  // not a synchsafe size: not a tag
        const std::uint64_t size = static_cast<std::uint64_t>(b[6]) << 21 | static_cast<std::uint64_t>(b[7]) << 14 |
                                   static_cast<std::uint64_t>(b[8]) << 7 | b[9];
        off += 10 + size + ((b[5] & 0x10) != 0 ? 10 : 0);  // a footer repeats the header
    }
    return off;
}

// Counts the frames from off while frames of the stream follow; off ends where they end.
std::uint64_t CountFrames(CBufferedReader& in, std::uint64_t& off, std::uint64_t limit, const Mp3FrameHeader& stream) {
    const std::uint64_t start = off;
    std::uint64_t samples = 0;
    Mp3FrameHeader h;
    while (off - start < limit) {
        if (!FrameAt(in, off, stream, h)) {
            // Files joined one after the other: the next one's tag, then its frames.
            const std::uint64_t after = SkipId3v2Tags(in, off);
            if (after == off || !FrameAt(in, after, stream, h)) break;
            off = after;
        }
        samples += static_cast<std::uint64_t>(h.samplesPerFrame);
        off += static_cast<std::uint64_t>(h.length);
    }
    return samples;
}

std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// A Xing/Info or VBRI header in the (Layer III) frame at off: its frame count, and its byte count
// (0 when it has none).
struct StreamTag {
    bool present = false;
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
};

StreamTag ReadTag(CBufferedReader& in, std::uint64_t off, const Mp3FrameHeader& h) {
    StreamTag tag;
    if (h.layer != 1) return tag;
    std::array<std::uint8_t, 64> f{};
    const std::size_t n = std::min<std::size_t>(f.size(), static_cast<std::size_t>(h.length));
    if (!in.Read(off, f.data(), n)) return tag;
    // The Xing tag follows the side information: 32/17 bytes for MPEG-1, 17/9 for MPEG-2 and 2.5.
    const std::size_t side = h.version == 3 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    const std::uint8_t* x = f.data() + 4 + side;
    if (4 + side + 16 <= n && (std::memcmp(x, "Xing", 4) == 0 || std::memcmp(x, "Info", 4) == 0)) {
        tag.present = true;
        const std::uint32_t flags = Be32(x + 4);
        const std::uint8_t* field = x + 8;
        if ((flags & 1) != 0) {
            tag.frames = Be32(field);
            field += 4;
        }
        if ((flags & 2) != 0) tag.bytes = Be32(field);
        return tag;
    }
    // The VBRI tag sits 32 bytes after the header whatever the version: version, delay and
    // quality (2 bytes each), then the byte and frame counts.
    const std::uint8_t* v = f.data() + 4 + 32;
    if (36 + 18 <= n && std::memcmp(v, "VBRI", 4) == 0) {
        tag.present = true;
        tag.bytes = Be32(v + 10);
        tag.frames = Be32(v + 14);
    }
    return tag;
}

// The tag's counts agree with the file: its bytes end inside the file where no further frame of
// the stream starts (nor another file's, after its ID3v2 tag), at an average frame size a frame
// can have.
bool TagAgrees(CBufferedReader& in, std::uint64_t first, const StreamTag& tag, const Mp3FrameHeader& h) {
    if (!tag.present || tag.frames == 0 || tag.bytes == 0) return false;
    const std::uint64_t end = first + tag.bytes;
    if (end > in.Size()) return false;
    const double average = static_cast<double>(tag.bytes) / static_cast<double>(tag.frames);
    if (average < 20.0 || average > 2000.0) return false;
    Mp3FrameHeader next;
    return end == in.Size() || !FrameAt(in, SkipId3v2Tags(in, end), h, next);
}

}  // namespace

std::optional<MpegStreamLength> MeasureMpegStream(int fd, std::uint64_t scanBytes) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return std::nullopt;
    CBufferedReader in(fd, static_cast<std::uint64_t>(st.st_size));

    const std::uint64_t tagsEnd = SkipId3v2Tags(in, 0);
    std::uint64_t first = tagsEnd;
    Mp3FrameHeader stream;
    while (!ChainAt(in, first, stream)) {
        if (++first >= tagsEnd + kSyncWindow || first >= in.Size()) return std::nullopt;
    }

    MpegStreamLength result;
    result.sampleRate = stream.sampleRate;
    const auto spf = static_cast<std::uint64_t>(stream.samplesPerFrame);
    std::uint64_t off = first;
    const StreamTag tag = ReadTag(in, first, stream);
    if (tag.present) {
        if (TagAgrees(in, first, tag, stream)) {
            result.samples = static_cast<std::uint64_t>(tag.frames) * spf;
            result.end = first + tag.bytes;
            result.counted = true;
            return result;
        }
        off += static_cast<std::uint64_t>(stream.length);  // the tag frame holds no sound
    }

    // Frame after frame until no frame of the stream follows, or the scan's budget is spent.
    const std::uint64_t scanStart = off;
    result.samples = CountFrames(in, off, scanBytes, stream);
    result.end = off;
    Mp3FrameHeader h;
    if (off - scanStart < scanBytes || !FrameAt(in, off, stream, h)) {
        result.counted = true;
        return result;
    }

    // A longer stream: the last stretch with frames is found by halving (frames run up to it
    // and not after it), its frames are counted to their end, and the frames between are
    // estimated at the rate of those read first.
    std::uint64_t lo = off, hi = in.Size();
    while (hi - lo > kProbeWindow) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        (FramesNear(in, mid, kProbeWindow, stream) ? lo : hi) = mid;
    }
    std::uint64_t last = FramesNear(in, lo, kProbeWindow, stream).value_or(off);
    const double perByte = off > scanStart ? static_cast<double>(result.samples) / static_cast<double>(off - scanStart) : 0.0;
    result.samples += static_cast<std::uint64_t>(static_cast<double>(last - off) * perByte);
    result.samples += CountFrames(in, last, scanBytes, stream);
    result.end = last;
    return result;
}

}  // namespace tonvela
