// G.726 decoders: first samples from the reset state worked out by hand from the inverse
// quantizer (the whole-stream comparison with sox is in the NeXT/Sun reader tests).
#include <gtest/gtest.h>

#include <vector>

#include "audio/codecs/G72x.h"

namespace tonvela {
namespace {

// From reset: y = 544, so the log-domain difference is DQLN(I) + 136 and the prediction is 0.
TEST(G72xTest, FirstSampleFromReset) {
    struct Case {
        G72xDecodeFn decode;
        int code;
        int expected;
    };
    // 32 kbit/s: I=7 -> DQLN 425, 561 = exponent 4, mantissa 177 -> 22 -> x4 = 88.
    // I=1 -> 140 -> 2 -> 8. I=8 is I=7 negated. I=15 -> DQLN -2048: zero difference.
    // 24 kbit/s: I=3 -> 373 + 136 = 509 -> 15 -> 60. 40 kbit/s: I=15 -> 702 -> 47 -> 188.
    for (const Case& c : {Case{G721Decode, 7, 88}, Case{G721Decode, 1, 8}, Case{G721Decode, 8, -88},
                          Case{G721Decode, 15, 0}, Case{G723Decode24, 3, 60}, Case{G723Decode24, 4, -60},
                          Case{G723Decode40, 15, 188}, Case{G723Decode40, 16, -188}}) {
        CG72xState state;
        EXPECT_EQ(c.decode(c.code, state), c.expected) << c.code;
    }
}

// Only the low bits of the code count; a reset state decodes like a new one.
TEST(G72xTest, CodeMaskAndReset) {
    CG72xState a, b;
    EXPECT_EQ(G721Decode(0x17, a), G721Decode(0x07, b));
    const std::vector<int> codes = {7, 7, 7, 3, 12, 15, 0, 9, 2, 7, 6, 5, 13, 1};
    std::vector<int> first, second;
    CG72xState s;
    for (int c : codes) first.push_back(G721Decode(c, s));
    s.Reset();
    for (int c : codes) second.push_back(G721Decode(c, s));
    EXPECT_EQ(first, second);
    // The state adapts: the same code gives a growing step.
    EXPECT_GT(first[1], first[0]);
}

// A long run of the largest code drives the reconstruction past the 16-bit output range: the
// output holds at full scale there instead of wrapping.
TEST(G72xTest, OutputHeldAtFullScale) {
    CG72xState s;
    int previous = 0;
    bool reachedTop = false;
    for (int i = 0; i < 600 && !reachedTop; ++i) {
        const int v = G721Decode(7, s);
        EXPECT_GE(v, previous) << i;  // a steady climb, not a wrap to the bottom
        reachedTop = v == 32767;
        previous = v;
    }
    EXPECT_TRUE(reachedTop);
}

}  // namespace
}  // namespace tonvela
