#include "swf/JpegCheck.h"

namespace tonvela {

namespace {

constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA;

bool IsStandalone(std::uint8_t m) { return m == 0x01 || (m >= 0xD0 && m <= 0xD7); }
// SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(std::uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

}  // namespace

bool IsCompleteJpeg(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != kSoi) return false;
    bool frame = false, scan = false;
    std::size_t p = 2;
    for (;;) {
        if (p >= size || data[p] != 0xFF) return false;
        while (p < size && data[p] == 0xFF) ++p;  // fill bytes
        if (p >= size) return false;
        const std::uint8_t m = data[p++];
        if (m == kEoi) return frame && scan;
        if (m == kSoi || m == 0x00) return false;
        if (IsStandalone(m)) continue;
        if (size - p < 2) return false;
        const std::size_t length = static_cast<std::size_t>(data[p]) << 8 | data[p + 1];
        if (length < 2 || length > size - p) return false;
        p += length;
        if (IsFrameHeader(m)) frame = true;
        if (m != kSos) continue;
        if (!frame) return false;
        scan = true;
        // Entropy-coded data: 0xFF is followed by 0x00 (a stuffed byte) or a restart marker
        // inside it; any other marker ends it.
        while (p + 1 < size && !(data[p] == 0xFF && data[p + 1] != 0x00 && !(data[p + 1] >= 0xD0 && data[p + 1] <= 0xD7)))
            ++p;
        if (p + 1 >= size) return false;
    }
}

}  // namespace tonvela
