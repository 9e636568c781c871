// SWF record encoders and decoders against bytes worked out by hand; one table drives both
// directions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "swf/SwfBits.h"

namespace tonvela {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Record headers ---------------------------------------------------------------------

struct HeaderCase {
    const char* name;
    std::uint16_t code;
    std::uint32_t length;
    Bytes bytes;
};

const HeaderCase kHeaderCases[] = {
    {"ShowFrame", 1, 0, {0x40, 0x00}},
    {"End", 0, 0, {0x00, 0x00}},
    // 19 * 64 + 62 = 1278 = 0x04FE: body of 62 takes the short form.
    {"Block62", 19, 62, {0xFE, 0x04}},
    // A body of exactly 63 takes the long form: 19 * 64 + 63 = 0x04FF, then UI32 63.
    {"Block63", 19, 63, {0xFF, 0x04, 0x3F, 0x00, 0x00, 0x00}},
    // SetBackgroundColor, 3 bytes: 9 * 64 + 3 = 579 = 0x0243.
    {"Background", 9, 3, {0x43, 0x02}},
    // DefineSound of 100009 bytes (0x000186A9): 14 * 64 + 63 = 0x03BF.
    {"DefineSoundLong", 14, 100009, {0xBF, 0x03, 0xA9, 0x86, 0x01, 0x00}},
    // Largest code (1023) with the largest length.
    {"Extremes", 1023, 0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
};

TEST(SwfRecordHeader, WritesHandWorkedBytes) {
    for (const HeaderCase& c : kHeaderCases) {
        Bytes out(8, 0xEE);
        std::uint8_t* end = WriteRecordHeader(out.data(), c.code, c.length);
        ASSERT_EQ(static_cast<std::size_t>(end - out.data()), c.bytes.size()) << c.name;
        EXPECT_EQ(Bytes(out.data(), end), c.bytes) << c.name;
        EXPECT_EQ(RecordHeaderSize(c.length), c.bytes.size()) << c.name;
    }
}

TEST(SwfRecordHeader, ReadsHandWorkedBytes) {
    for (const HeaderCase& c : kHeaderCases) {
        Bytes in = {0xAA};  // one byte before, so the offsets are not all 0
        in.insert(in.end(), c.bytes.begin(), c.bytes.end());
        CSwfBitReader r(in.data(), in.size());
        r.Seek(1);
        const SwfRecordHeader h = r.ReadRecordHeader();
        ASSERT_FALSE(r.failed()) << c.name;
        EXPECT_EQ(h.code, c.code) << c.name;
        EXPECT_EQ(h.length, c.length) << c.name;
        EXPECT_EQ(h.headerOffset, 1u) << c.name;
        EXPECT_EQ(h.bodyOffset, 1 + c.bytes.size()) << c.name;
        EXPECT_EQ(h.nextOffset, 1 + c.bytes.size() + c.length) << c.name;
    }
}

// ---- Integers and colours -------------------------------------------------------------------

TEST(SwfIntegers, LittleEndianBothWays) {
    Bytes out(16, 0);
    std::uint8_t* p = WriteU8(out.data(), 0x1AB);  // low 8 bits only
    p = WriteU16(p, 0x12345);                      // low 16 bits only
    p = WriteU32(p, 0xDEADBEEF);
    p = WriteRgb(p, 0x11, 0x22, 0x33);
    p = WriteRgba(p, 0x44, 0x55, 0x66, 0x77);
    const Bytes expected = {0xAB, 0x45, 0x23, 0xEF, 0xBE, 0xAD, 0xDE, 0x11,
                            0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    EXPECT_EQ(Bytes(out.data(), p), expected);

    CSwfBitReader r(expected.data(), expected.size());
    EXPECT_EQ(r.ReadU8(), 0xAB);
    EXPECT_EQ(r.ReadU16(), 0x2345);
    EXPECT_EQ(r.ReadU32(), 0xDEADBEEFu);
    EXPECT_EQ(r.ReadU8(), 0x11);
    EXPECT_FALSE(r.failed());
}

// ---- Bit fields -------------------------------------------------------------------------------

struct Field {
    bool isSigned;
    std::int64_t value;
    int width;
};

struct BitCase {
    const char* name;
    std::vector<Field> fields;
    Bytes bytes;   // the fields packed from bit 7 of the first byte, last byte padded with 0
    int endBitPos;  // writer's bit position afterwards
};

const BitCase kBitCases[] = {
    // 5 bits at position 0, then 5 bits at position 5: 3 bits complete the first byte, 2 go
    // into the top of the next. 10110 11011 -> 10110110 11000000.
    {"SpillAtFive", {{false, 0b10110, 5}, {false, 0b11011, 5}}, {0xB6, 0xC0}, 2},
    {"SignedMinusOne", {{true, -1, 4}}, {0xF0}, 4},
    {"SignedSeven", {{true, 7, 4}}, {0x70}, 4},
    // 101 then 0x12345678 over 32 bits.
    {"Wide32", {{false, 0b101, 3}, {false, 0x12345678, 32}}, {0xA2, 0x46, 0x8A, 0xCF, 0x00}, 3},
    // 101 | -3 in 7 bits (1111101) | 1 | -100 in 9 bits (110011100) = 20 bits.
    {"Mixed", {{false, 5, 3}, {true, -3, 7}, {false, 1, 1}, {true, -100, 9}}, {0xBF, 0x79, 0xC0}, 4},
    // Exactly one byte: the writer moves onto the next byte (and clears it).
    {"WholeByte", {{false, 0xA5, 8}}, {0xA5}, 0},
};

TEST(SwfBitFields, WriteHandWorkedBytes) {
    for (const BitCase& c : kBitCases) {
        Bytes out(c.bytes.size() + 2, 0xEE);
        out[0] = 0;
        int bit = 0;
        std::uint8_t* p = out.data();
        for (const Field& f : c.fields) {
            p = f.isSigned ? WriteSBits(p, bit, static_cast<std::int32_t>(f.value), f.width)
                           : WriteUBits(p, bit, static_cast<std::uint32_t>(f.value), f.width);
        }
        EXPECT_EQ(bit, c.endBitPos) << c.name;
        const std::size_t used = static_cast<std::size_t>(p - out.data()) + (bit ? 1 : 0);
        ASSERT_EQ(used, c.bytes.size()) << c.name;
        EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(used)), c.bytes) << c.name;
        // Every byte the writer moved onto was cleared before use.
        if (bit == 0) {
            EXPECT_EQ(out[used], 0) << c.name;
        }
    }
}

TEST(SwfBitFields, ReadHandWorkedBytes) {
    for (const BitCase& c : kBitCases) {
        CSwfBitReader r(c.bytes.data(), c.bytes.size());
        for (const Field& f : c.fields) {
            if (f.isSigned)
                EXPECT_EQ(r.ReadSBits(f.width), f.value) << c.name;
            else
                EXPECT_EQ(r.ReadUBits(f.width), static_cast<std::uint32_t>(f.value)) << c.name;
        }
        EXPECT_FALSE(r.failed()) << c.name;
        EXPECT_EQ(r.UnreadBits(), (8 - c.endBitPos) % 8) << c.name;
    }
}

TEST(SwfBitFields, WholeByteReadDropsUnreadBits) {
    const Bytes in = {0b10111111, 0x42, 0x01, 0x02};
    CSwfBitReader r(in.data(), in.size());
    EXPECT_EQ(r.ReadUBits(3), 0b101u);
    EXPECT_EQ(r.ReadU8(), 0x42);  // not the remaining 5 bits
    EXPECT_EQ(r.ReadUBits(1), 0u);
    EXPECT_EQ(r.ReadU16(), 0u);   // 0x02 << 8 | ... needs 2 bytes: only one left
    EXPECT_TRUE(r.failed());
}

TEST(SwfBitFields, SignedBitWidth) {
    const std::pair<std::int32_t, int> cases[] = {
        {0, 1}, {1, 2}, {2, 3}, {3, 3}, {4, 4}, {-1, 2}, {-2, 3}, {-4, 4}, {-5, 4},
        {11000, 15}, {(1 << 30) - 1, 31}, {1 << 30, 32}, {INT32_MAX, 32}, {-INT32_MAX, 32},
        {INT32_MIN, 1},
    };
    for (auto [v, n] : cases) EXPECT_EQ(SignedBitWidth(v), n) << v;
}

// ---- RECT ----------------------------------------------------------------------------------

struct RectCase {
    const char* name;
    SwfRect rect;
    Bytes bytes;
};

const RectCase kRectCases[] = {
    // 1 x 1 pixel: n = 6, 29 bits.
    {"OnePixel", {0, 20, 0, 20}, {0x30, 0x0A, 0x00, 0xA0}},
    // 550 x 400 pixels: n = 15, 65 bits.
    {"550x400", {0, 11000, 0, 8000}, {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}},
    // Negative values: n = 4 (from -4); 00100 1111 0001 1100 0000.
    {"Negative", {-1, 1, -4, 0}, {0x27, 0x8E, 0x00}},
    // All zero: n = 1, 9 bits.
    {"Zero", {0, 0, 0, 0}, {0x08, 0x00}},
};

TEST(SwfRect, WritesHandWorkedBytes) {
    for (const RectCase& c : kRectCases) {
        Bytes out(kMaxRectSize, 0xEE);  // WriteRect clears what it uses
        std::uint8_t* end = WriteRect(out.data(), c.rect.xmin, c.rect.xmax, c.rect.ymin, c.rect.ymax);
        ASSERT_NE(end, nullptr) << c.name;
        EXPECT_EQ(Bytes(out.data(), end), c.bytes) << c.name;
    }
}

TEST(SwfRect, ReadsHandWorkedBytes) {
    for (const RectCase& c : kRectCases) {
        Bytes in = c.bytes;
        in.push_back(0x5A);  // the next byte-aligned value follows the RECT
        CSwfBitReader r(in.data(), in.size());
        EXPECT_EQ(r.ReadRect(), c.rect) << c.name;
        EXPECT_EQ(r.ReadU8(), 0x5A) << c.name;
        EXPECT_FALSE(r.failed()) << c.name;
    }
}

TEST(SwfRect, ThirtyOneBitsWrittenThirtyTwoRefused) {
    Bytes out(kMaxRectSize + 1, 0);
    const std::int32_t max31 = (1 << 30) - 1;  // needs 31 bits
    std::uint8_t* end = WriteRect(out.data(), 0, max31, 0, 0);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end - out.data(), (5 + 4 * 31 + 7) / 8);
    CSwfBitReader r(out.data(), out.size());
    EXPECT_EQ(r.ReadRect(), (SwfRect{0, max31, 0, 0}));

    EXPECT_EQ(WriteRect(out.data(), 0, 1 << 30, 0, 0), nullptr);
    EXPECT_EQ(WriteRect(out.data(), 0, 0, -(1 << 30), 0), nullptr);

    CSwfBitWriter w(out.data());
    EXPECT_FALSE(w.Rect(0, 1 << 30, 0, 0));
    EXPECT_EQ(w.Pointer(), out.data());
}

TEST(SwfBitWriter, CursorMatchesFreeEncoders) {
    Bytes out(32, 0xEE);
    CSwfBitWriter w(out.data());
    w.U8('F');
    w.UBits(0b101, 3);
    w.U16(0x0102);  // aligns first
    ASSERT_TRUE(w.Rect(0, 20, 0, 20));
    w.SBits(-1, 4);
    w.Align();
    const Bytes expected = {'F', 0xA0, 0x02, 0x01, 0x30, 0x0A, 0x00, 0xA0, 0xF0};
    EXPECT_EQ(Bytes(out.data(), w.Pointer()), expected);
}

// ---- MATRIX (read only) ---------------------------------------------------------------------

TEST(SwfMatrix, ReadsHandWorkedBytes) {
    // No scale, no rotate, translate width 0: 0 0 00000 -> one byte.
    {
        const Bytes in = {0x00, 0x77};
        CSwfBitReader r(in.data(), in.size());
        EXPECT_EQ(r.ReadMatrix(), SwfMatrix{});
        EXPECT_EQ(r.ReadU8(), 0x77);
    }
    // HasScale 1, width 18 (10010), scaleX 65536 (010000000000000000), scaleY -65536
    // (110000000000000000); HasRotate 1, width 3 (00011), 1 (001), -1 (111);
    // translate width 5 (00101), 10 (01010), -16 (10000).
    // 1 10010 010000000000000000 110000000000000000 1 00011 001 111 00101 01010 10000
    {
        const Bytes in = {0xC9, 0x00, 0x00, 0xC0, 0x00, 0x23, 0x3C, 0xAA, 0x80};
        CSwfBitReader r(in.data(), in.size());
        const SwfMatrix m = r.ReadMatrix();
        EXPECT_FALSE(r.failed());
        EXPECT_EQ(m, (SwfMatrix{65536, -65536, 1, -1, 10, -16}));
    }
}

// ---- Bounds ----------------------------------------------------------------------------------

TEST(SwfBitReaderBounds, ReadsPastTheEndFailAndStayFailed) {
    const Bytes in = {0x12, 0x34, 0x56};
    CSwfBitReader r(in.data(), in.size());
    EXPECT_EQ(r.ReadU16(), 0x3412);
    EXPECT_EQ(r.ReadU16(), 0);  // only one byte left
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.ReadU8(), 0);  // sticky, although a byte remains
    EXPECT_TRUE(r.failed());

    r.Reset(in.data(), in.size());
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(r.ReadU32(), 0u);
    EXPECT_TRUE(r.failed());

    r.Reset(in.data(), in.size());
    EXPECT_EQ(r.ReadUBits(20), 0x12345u);
    EXPECT_EQ(r.ReadUBits(4), 0x6u);
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(r.ReadUBits(1), 0u);
    EXPECT_TRUE(r.failed());

    r.Reset(in.data(), in.size());
    EXPECT_EQ(r.ReadUBits(25), 0u);
    EXPECT_TRUE(r.failed());
    r.Reset(in.data(), in.size());
    EXPECT_EQ(r.ReadUBits(33), 0u);  // width beyond 32
    EXPECT_TRUE(r.failed());
}

TEST(SwfBitReaderBounds, TruncatedRecords) {
    // RECT announcing 15-bit fields in 2 bytes.
    const Bytes rect = {0x78, 0x00};
    CSwfBitReader r(rect.data(), rect.size());
    EXPECT_EQ(r.ReadRect(), SwfRect{});
    EXPECT_TRUE(r.failed());

    // MATRIX with HasScale and a 31-bit width, cut short.
    const Bytes matrix = {0xFF, 0xFF};
    r.Reset(matrix.data(), matrix.size());
    EXPECT_EQ(r.ReadMatrix(), SwfMatrix{});
    EXPECT_TRUE(r.failed());

    // Long tag header cut inside its UI32.
    const Bytes header = {0xFF, 0x04, 0x3F, 0x00};
    r.Reset(header.data(), header.size());
    r.ReadRecordHeader();
    EXPECT_TRUE(r.failed());

    // A header that fits but whose body runs past the end: read, with nextOffset beyond size.
    const Bytes shortBody = {0x43, 0x02, 0xFF};
    r.Reset(shortBody.data(), shortBody.size());
    const SwfRecordHeader h = r.ReadRecordHeader();
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(h.nextOffset, 5u);
    EXPECT_GT(h.nextOffset, r.Size());

    // Empty and null buffers.
    r.Reset(nullptr, 100);
    EXPECT_EQ(r.ReadU8(), 0);
    EXPECT_TRUE(r.failed());
    r.Reset(shortBody.data(), 0);
    EXPECT_EQ(r.ReadUBits(1), 0u);
    EXPECT_TRUE(r.failed());

    // Seek beyond the end.
    r.Reset(shortBody.data(), shortBody.size());
    r.Seek(3);
    EXPECT_FALSE(r.failed());
    r.Seek(4);
    EXPECT_TRUE(r.failed());
}

}  // namespace
}  // namespace tonvela

namespace tonvela {
namespace {

// Random bytes read as records, the way a tag walker would: never a read outside the buffer
// (AddressSanitizer watches), the position never beyond the end, and a walk that ends.
TEST(SwfBitReaderBounds, RandomBytesNeverReadOutside) {
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(next() % 40);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(next() >> 24);
        // An exact-size heap copy, so a read one past the end is caught.
        auto owned = std::make_unique<std::uint8_t[]>(bytes.size() + 0);
        std::copy(bytes.begin(), bytes.end(), owned.get());
        CSwfBitReader r(owned.get(), bytes.size());
        for (int step = 0; step < 64 && !r.failed(); ++step) {
            switch (next() % 6) {
                case 0: r.ReadRect(); break;
                case 1: r.ReadMatrix(); break;
                case 2: {
                    const SwfRecordHeader h = r.ReadRecordHeader();
                    if (!r.failed() && h.nextOffset <= r.Size()) r.Seek(h.nextOffset);
                    break;
                }
                case 3: r.ReadSBits(static_cast<int>(next() % 33)); break;
                case 4: r.ReadU32(); break;
                default: r.ReadU8(); break;
            }
            ASSERT_LE(r.Position(), r.Size());
        }
    }
}

}  // namespace
}  // namespace tonvela
