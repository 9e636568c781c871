// SWF record encoding: little-endian integers, MSB-first bit fields, RECORDHEADER,
// RECT, MATRIX (read only) and colours. The writer and the reader sit side by side.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonvela {

// Tag codes used anywhere in the system.
enum SwfTagCode : std::uint16_t {
    kTagEnd = 0,
    kTagShowFrame = 1,
    kTagDefineShape = 2,
    kTagSetBackgroundColor = 9,
    kTagDefineText = 11,
    kTagDoAction = 12,
    kTagDefineSound = 14,
    kTagStartSound = 15,
    kTagSoundStreamHead = 18,
    kTagSoundStreamBlock = 19,
    kTagDefineBitsJpeg2 = 21,
    kTagDefineShape2 = 22,
    kTagDefineShape3 = 32,
    kTagDefineEditText = 37,
    kTagDefineSprite = 39,
    kTagSoundStreamHead2 = 45,
};

// Largest tag header: UI16 code/length plus UI32 long length.
inline constexpr std::size_t kMaxRecordHeaderSize = 6;
// Largest RECT: 5 + 4 x 31 bits = 129 bits -> 17 bytes.
inline constexpr std::size_t kMaxRectSize = 17;

// ---- Writing side -------------------------------------------------------------------------
// Each encoder writes at p and returns the pointer just past what it wrote. None checks the
// space left: the caller sizes the buffer (kMaxRecordHeaderSize, kMaxRectSize help).

std::uint8_t* WriteU8(std::uint8_t* p, std::uint32_t value);   // low 8 bits
std::uint8_t* WriteU16(std::uint8_t* p, std::uint32_t value);  // low 16 bits, little-endian
std::uint8_t* WriteU32(std::uint8_t* p, std::uint32_t value);  // little-endian
std::uint8_t* WriteRgb(std::uint8_t* p, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
std::uint8_t* WriteRgba(std::uint8_t* p, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                        std::uint8_t alpha);
// Short form (2 bytes) for a body below 63 bytes, else the long form (6 bytes).
std::uint8_t* WriteRecordHeader(std::uint8_t* p, std::uint16_t code, std::uint32_t length);
// Size of the header WriteRecordHeader writes for a body of this length.
inline constexpr std::size_t RecordHeaderSize(std::uint32_t length) { return length < 63 ? 2 : 6; }

// n bits of an unsigned field at bit position bitPos (0-7, bits of *p already used), MSB first.
// *p must be zero or hold only earlier fields; every further byte is cleared before use. The
// value must fit in n bits. n from 0 to 32. A field that ends exactly on a
// byte boundary moves onto the next byte and clears it, so that byte must be writable.
std::uint8_t* WriteUBits(std::uint8_t* p, int& bitPos, std::uint32_t value, int n);
// n-bit two's complement of value, written as an unsigned field.
std::uint8_t* WriteSBits(std::uint8_t* p, int& bitPos, std::int32_t value, int n);
// Whole RECT, byte-aligned (the partly filled last byte belongs to it). Clears *p first.
// Returns nullptr when a coordinate needs more than 31 bits.
std::uint8_t* WriteRect(std::uint8_t* p, std::int32_t xmin, std::int32_t xmax, std::int32_t ymin,
                        std::int32_t ymax);
// 1 + significant bits of |v| (0 -> 1, 1 -> 2, -1 -> 2, -4 -> 4); INT32_MIN -> 1.
int SignedBitWidth(std::int32_t v);

// Writing cursor: the current byte and the bit position inside it, over the encoders above.
class CSwfBitWriter {
public:
    explicit CSwfBitWriter(std::uint8_t* p) : p_(p) {}

    std::uint8_t* Pointer() const { return p_; }
    int BitPosition() const { return bitPos_; }

    void U8(std::uint32_t v) { Align(); p_ = WriteU8(p_, v); }
    void U16(std::uint32_t v) { Align(); p_ = WriteU16(p_, v); }
    void U32(std::uint32_t v) { Align(); p_ = WriteU32(p_, v); }
    void Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { Align(); p_ = WriteRgb(p_, r, g, b); }
    void Rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
        Align();
        p_ = WriteRgba(p_, r, g, b, a);
    }
    void RecordHeader(std::uint16_t code, std::uint32_t length) {
        Align();
        p_ = WriteRecordHeader(p_, code, length);
    }
    // The first bit field on a fresh byte clears it.
    void UBits(std::uint32_t v, int n) { StartBits(); p_ = WriteUBits(p_, bitPos_, v, n); }
    void SBits(std::int32_t v, int n) { StartBits(); p_ = WriteSBits(p_, bitPos_, v, n); }
    // False (cursor unchanged) when a coordinate needs more than 31 bits.
    bool Rect(std::int32_t xmin, std::int32_t xmax, std::int32_t ymin, std::int32_t ymax);
    // Ends a partly filled byte: the cursor moves past it.
    void Align() {
        if (bitPos_ != 0) {
            ++p_;
            bitPos_ = 0;
        }
    }

private:
    void StartBits() {
        if (bitPos_ == 0) *p_ = 0;
    }
    std::uint8_t* p_;
    int bitPos_ = 0;
};

// ---- Reading side -------------------------------------------------------------------------

struct SwfRect {
    std::int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    friend bool operator==(const SwfRect&, const SwfRect&) = default;
};

struct SwfMatrix {
    std::int32_t scaleX = 65536, scaleY = 65536;  // 16.16; 1.0 when HasScale is clear
    std::int32_t rotateSkew0 = 0, rotateSkew1 = 0;
    std::int32_t translateX = 0, translateY = 0;  // twips
    friend bool operator==(const SwfMatrix&, const SwfMatrix&) = default;
};

struct SwfRecordHeader {
    std::uint16_t code = 0;
    std::uint32_t length = 0;       // body length
    std::size_t headerOffset = 0;   // first byte of the tag header
    std::size_t bodyOffset = 0;     // just after the header
    std::size_t nextOffset = 0;     // bodyOffset + length (may lie beyond the buffer)
};

// Reading cursor over a buffer it does not own (the template keeps the bytes).
//
// Bounds: the reader never reads past its buffer. A read that needs a byte or bit beyond the
// end reads nothing, returns 0 (a default-constructed record for ReadRect/ReadMatrix/
// ReadRecordHeader) and
// sets a sticky failed() flag; every later read also fails until Reset. So a caller may read
// a whole record and check failed() once at the end. A ReadRecordHeader whose header fits but
// whose body runs past the end succeeds: nextOffset then lies beyond size(), and the caller
// (the tag walker) compares it with size().
class CSwfBitReader {
public:
    CSwfBitReader() = default;
    CSwfBitReader(const std::uint8_t* data, std::size_t size) { Reset(data, size); }

    // New buffer, position 0, no unread bits, failed() cleared.
    void Reset(const std::uint8_t* data, std::size_t size);
    // Moves to a byte offset, dropping unread bits. Beyond size() sets failed().
    void Seek(std::size_t offset);

    std::size_t Position() const { return pos_; }  // next whole byte to load
    std::size_t Size() const { return size_; }
    int UnreadBits() const { return bitsLeft_; }
    bool failed() const { return failed_; }

    // Whole-byte reads first drop the unread bits of a partly read byte.
    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    // n from 0 to 32 (0 reads nothing and gives 0); n above 32 fails.
    std::uint32_t ReadUBits(int n);
    // Sign-extended from bit n - 1.
    std::int32_t ReadSBits(int n);
    // Both start at a byte boundary.
    SwfRect ReadRect();
    SwfMatrix ReadMatrix();
    SwfRecordHeader ReadRecordHeader();

private:
    void AlignToByte() { bitsLeft_ = 0; bitValue_ = 0; }
    bool Have(std::size_t bytes) const { return !failed_ && size_ - pos_ >= bytes; }
    void Fail() { failed_ = true; AlignToByte(); }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    int bitsLeft_ = 0;            // unread bits of the byte before pos_ (0-8)
    std::uint32_t bitValue_ = 0;  // those bits, consumed high bits masked off
    bool failed_ = false;
};

}  // namespace tonvela
