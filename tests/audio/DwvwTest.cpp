// DWVW decoder on bit streams worked out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/codecs/Dwvw.h"

namespace tonvela {
namespace {

// Feeds the stream at most `chunk` bytes per refill.
CDwvwDecoder::RefillFn Feeder(std::vector<std::uint8_t> stream, std::size_t chunk) {
    auto pos = std::make_shared<std::size_t>(0);
    return [stream, chunk, pos](std::uint8_t* dst, std::size_t max) {
        const std::size_t n = std::min({chunk, max, stream.size() - *pos});
        if (n > 0) std::memcpy(dst, stream.data() + *pos, n);
        *pos += n;
        return n;
    };
}

// 8-bit: modifier +4 (four zeros, no stop bit), delta 8; then modifier +3 to width 7 and the
// delta 127 = maxDelta - 1 that takes one more bit: 128, and 8 + 128 wraps to -120.
// Bits: 0000 0 000 0 | 0001 0 111111 0 1 | 00 -> 00 0B F4.
TEST(DwvwTest, EightBitWidestDeltaAndWrap) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{256}}) {
        CDwvwDecoder d(8, Feeder({0x00, 0x0B, 0xF4}, chunk));
        std::int32_t out[2] = {};
        EXPECT_EQ(d.Decode(out, 2), 2);
        EXPECT_EQ(out[0], 8 << 24);
        EXPECT_EQ(out[1], -120 * (1 << 24));
    }
}

// 12-bit: +5 (modifier +3), -7 (modifier 0), unchanged (modifier -3 to width 0), -63
// (modifier +6, the most a 12-bit stream allows). The state carries over between calls.
TEST(DwvwTest, TwelveBitAcrossCalls) {
    CDwvwDecoder d(12, Feeder({0x12, 0xF1, 0x80, 0xFC}, 1));
    const int expected[] = {5, -2, -2, -65};
    for (int e : expected) {
        std::int32_t v = 0;
        ASSERT_EQ(d.Decode(&v, 1), 1);
        EXPECT_EQ(v, e * (1 << 20));
    }
}

// The stream's end stops decoding; an empty stream decodes nothing, also when asked again.
TEST(DwvwTest, EndOfStream) {
    CDwvwDecoder empty(16, Feeder({}, 256));
    std::int32_t out[64];
    EXPECT_EQ(empty.Decode(out, 64), 0);
    EXPECT_EQ(empty.Decode(out, 64), 0);
    // One byte: a single zero-modifier sample ("1", width 0) repeated eight times at most.
    CDwvwDecoder ones(16, Feeder({0xFF}, 256));
    const int n = ones.Decode(out, 64);
    EXPECT_EQ(n, 8);
    for (int i = 0; i < n; ++i) EXPECT_EQ(out[i], 0);
    EXPECT_EQ(ones.Decode(out, 64), 0);
}

}  // namespace
}  // namespace tonvela
