#include "swf/SwfBits.h"

#include <algorithm>
#include <bit>

namespace tonvela {

namespace {

std::uint32_t LowBits(std::uint32_t v, int n) {
    return n >= 32 ? v : v & ((std::uint32_t{1} << n) - 1);
}

}  // namespace

// ---- Writing side -------------------------------------------------------------------------

std::uint8_t* WriteU8(std::uint8_t* p, std::uint32_t value) {
    *p++ = static_cast<std::uint8_t>(value);
    return p;
}

std::uint8_t* WriteU16(std::uint8_t* p, std::uint32_t value) {
    *p++ = static_cast<std::uint8_t>(value);
    *p++ = static_cast<std::uint8_t>(value >> 8);
    return p;
}

std::uint8_t* WriteU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) *p++ = static_cast<std::uint8_t>(value >> (8 * i));
    return p;
}

std::uint8_t* WriteRgb(std::uint8_t* p, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    *p++ = red;
    *p++ = green;
    *p++ = blue;
    return p;
}

std::uint8_t* WriteRgba(std::uint8_t* p, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                        std::uint8_t alpha) {
    p = WriteRgb(p, red, green, blue);
    *p++ = alpha;
    return p;
}

std::uint8_t* WriteRecordHeader(std::uint8_t* p, std::uint16_t code, std::uint32_t length) {
    const std::uint32_t tag = static_cast<std::uint32_t>(code) << 6;
    if (length < 63) return WriteU16(p, tag | length);
    p = WriteU16(p, tag | 63);
    return WriteU32(p, length);
}

std::uint8_t* WriteUBits(std::uint8_t* p, int& bitPos, std::uint32_t value, int n) {
    value = LowBits(value, n);
    while (n > 0) {
        if (bitPos + n < 8) {
            *p = static_cast<std::uint8_t>(*p | (value << (8 - bitPos - n)));
            bitPos += n;
            return p;
        }
        // The field's top 8 - bitPos bits complete this byte.
        const int shift = bitPos + n - 8;
        *p = static_cast<std::uint8_t>(*p | (value >> shift));
        ++p;
        *p = 0;
        n = shift;
        value = LowBits(value, n);
        bitPos = 0;
    }
    return p;
}

std::uint8_t* WriteSBits(std::uint8_t* p, int& bitPos, std::int32_t value, int n) {
    // Two's complement over n bits: the low n bits of the 32-bit two's complement.
    return WriteUBits(p, bitPos, LowBits(static_cast<std::uint32_t>(value), n), n);
}

int SignedBitWidth(std::int32_t v) {
    if (v == INT32_MIN) return 1;  // its negation overflows: 1 by definition
    const std::uint32_t magnitude = static_cast<std::uint32_t>(v < 0 ? -v : v);
    return 1 + static_cast<int>(std::bit_width(magnitude));
}

std::uint8_t* WriteRect(std::uint8_t* p, std::int32_t xmin, std::int32_t xmax, std::int32_t ymin,
                        std::int32_t ymax) {
    const int n = std::max({SignedBitWidth(xmin), SignedBitWidth(xmax), SignedBitWidth(ymin),
                            SignedBitWidth(ymax)});
    if (n > 31) return nullptr;
    int bitPos = 0;
    *p = 0;
    p = WriteUBits(p, bitPos, static_cast<std::uint32_t>(n), 5);
    for (std::int32_t v : {xmin, xmax, ymin, ymax}) p = WriteSBits(p, bitPos, v, n);
    return bitPos != 0 ? p + 1 : p;
}

bool CSwfBitWriter::Rect(std::int32_t xmin, std::int32_t xmax, std::int32_t ymin,
                         std::int32_t ymax) {
    Align();
    std::uint8_t* end = WriteRect(p_, xmin, xmax, ymin, ymax);
    if (!end) return false;
    p_ = end;
    return true;
}

// ---- Reading side -------------------------------------------------------------------------

void CSwfBitReader::Reset(const std::uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = data ? size : 0;
    pos_ = 0;
    failed_ = false;
    AlignToByte();
}

void CSwfBitReader::Seek(std::size_t offset) {
    AlignToByte();
    if (offset > size_) {
        failed_ = true;
        return;
    }
    pos_ = offset;
}

std::uint8_t CSwfBitReader::ReadU8() {
    AlignToByte();
    if (!Have(1)) {
        Fail();
        return 0;
    }
    return data_[pos_++];
}

std::uint16_t CSwfBitReader::ReadU16() {
    AlignToByte();
    if (!Have(2)) {
        Fail();
        return 0;
    }
    const auto v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

std::uint32_t CSwfBitReader::ReadU32() {
    AlignToByte();
    if (!Have(4)) {
        Fail();
        return 0;
    }
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | data_[pos_ + static_cast<std::size_t>(i)];
    pos_ += 4;
    return v;
}

std::uint32_t CSwfBitReader::ReadUBits(int n) {
    if (failed_ || n < 0 || n > 32) {
        Fail();
        return 0;
    }
    if (n == 0) return 0;
    // Enough bits left in the buffer? (unread bits of the current byte + whole bytes after it)
    const std::size_t wholeBytesNeeded =
        n <= bitsLeft_ ? 0 : (static_cast<std::size_t>(n - bitsLeft_) + 7) / 8;
    if (size_ - pos_ < wholeBytesNeeded) {
        Fail();
        return 0;
    }
    std::uint64_t acc = bitValue_;
    int have = bitsLeft_;
    while (have < n) {
        acc = (acc << 8) | data_[pos_++];
        have += 8;
    }
    bitsLeft_ = have - n;
    bitValue_ = static_cast<std::uint32_t>(acc & ((std::uint64_t{1} << bitsLeft_) - 1));
    return static_cast<std::uint32_t>(acc >> bitsLeft_);
}

std::int32_t CSwfBitReader::ReadSBits(int n) {
    const std::uint32_t v = ReadUBits(n);
    if (n <= 0 || n >= 32) return static_cast<std::int32_t>(v);
    const std::uint32_t sign = std::uint32_t{1} << (n - 1);
    // (v ^ sign) - sign sign-extends without relying on implementation-defined shifts.
    return static_cast<std::int32_t>(v ^ sign) - static_cast<std::int32_t>(sign);
}

SwfRect CSwfBitReader::ReadRect() {
    AlignToByte();
    SwfRect r;
    const int n = static_cast<int>(ReadUBits(5));
    r.xmin = ReadSBits(n);
    r.xmax = ReadSBits(n);
    r.ymin = ReadSBits(n);
    r.ymax = ReadSBits(n);
    return failed_ ? SwfRect{} : r;
}

SwfMatrix CSwfBitReader::ReadMatrix() {
    AlignToByte();
    SwfMatrix m;
    if (ReadUBits(1)) {
        const int n = static_cast<int>(ReadUBits(5));
        m.scaleX = ReadSBits(n);
        m.scaleY = ReadSBits(n);
    }
    if (ReadUBits(1)) {
        const int n = static_cast<int>(ReadUBits(5));
        m.rotateSkew0 = ReadSBits(n);
        m.rotateSkew1 = ReadSBits(n);
    }
    const int n = static_cast<int>(ReadUBits(5));
    m.translateX = ReadSBits(n);
    m.translateY = ReadSBits(n);
    return failed_ ? SwfMatrix{} : m;
}

SwfRecordHeader CSwfBitReader::ReadRecordHeader() {
    AlignToByte();
    SwfRecordHeader h;
    h.headerOffset = pos_;
    const std::uint16_t v = ReadU16();
    h.code = static_cast<std::uint16_t>(v >> 6);
    h.length = v & 63u;
    if (h.length == 63) h.length = ReadU32();
    if (failed_) return SwfRecordHeader{};
    h.bodyOffset = pos_;
    h.nextOffset = pos_ + h.length;
    return h;
}

}  // namespace tonvela
