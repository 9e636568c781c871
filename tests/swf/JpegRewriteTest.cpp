#include "swf/JpegRewrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "SwfTestSupport.h"
#include "swf/JpegCheck.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateTestSwf.h"

namespace tonvela {
namespace {

using namespace testswf;

// DefineShape 1: bounds 0..600 x 0..500 twips, one clipped bitmap fill of picture 1 at scale 20,
// no lines; records: move to (0, 0) with fill 1, edges +600, +500, -600, -500 and a stray +7.
Bytes PlaceholderShape() {
    Bytes b = {0x01, 0x00, 0x58, 0x00, 0x4B, 0x00, 0x00, 0xFA, 0x00,  // id, RECT
               0x01, 0x41, 0x01, 0x00, 0xD9, 0x40, 0x00, 0x05, 0x00, 0x00, 0x00,
               0x00, 0x10};
    Add(b, {0x0C, 0x27, 0x91, 0x2C, 0x70, 0xBE, 0x9C, 0x96, 0xA3, 0x86, 0x0C, 0xCC, 0x38, 0x00});
    return b;
}

// What that shape becomes for a 100 x 75 pixel picture: bounds 0..2000 x 0..1500, the same
// style bytes, move-to (0, 0) in 1-bit fields, edges of 12 bits (written as 10), the stray
// edge of zero length in 2 bits.
Bytes StretchedShape() {
    Bytes b = {0x01, 0x00, 0x60, 0x00, 0x3E, 0x80, 0x00, 0x2E, 0xE0,
               0x01, 0x41, 0x01, 0x00, 0xD9, 0x40, 0x00, 0x05, 0x00, 0x00, 0x00,
               0x00, 0x10};
    Add(b, {0x0C, 0x27, 0xA1, 0xF4, 0x3A, 0x57, 0x73, 0xA2, 0x0C, 0x3A, 0x68, 0x93, 0x00, 0x00});
    return b;
}

// The smallest well-formed JPEG stream of total bytes: a one-component baseline frame, one
// scan of filler data and the end marker (at least 27 bytes).
Bytes TinyJpeg(std::size_t total, std::uint8_t frameMarker = 0xC0) {
    Bytes b = {0xFF, 0xD8, 0xFF, frameMarker, 0x00, 0x0B, 8, 0x00, 0x10, 0x00, 0x10, 1, 1, 0x11, 0,
               0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 63, 0};
    b.resize(total - 2, 0xAB);
    Add(b, {0xFF, 0xD9});
    return b;
}

Bytes JpegTemplate() {
    return Movie({Tag(9, {0xFF, 0xFF, 0xFF}), Tag(21, {0x01, 0x00, 0xFF, 0xD8, 0xFF, 0xD9}),
                  Tag(2, PlaceholderShape()), Tag(26, {0x06, 0x01, 0x00, 0x01, 0x00, 0x00}),
                  Tag(32, {0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), ShowFrame(), End()},
                 8, 1);
}

TEST(StretchShapeBody, RewritesThePlaceholderRectangle) {
    const Bytes in = PlaceholderShape();
    const auto out = StretchShapeBody(in.data(), in.size(), 2000, 1500);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, StretchedShape());
    // Truncated records are refused, never read past.
    EXPECT_FALSE(StretchShapeBody(in.data(), in.size() - 3, 2000, 1500));
    // Beyond the settings' 32767 pixels a picture is refused.
    EXPECT_FALSE(StretchShapeBody(in.data(), in.size(), 32768 * 20, 1500));
}

// Reads shape records by the file format's rules, independently of the writer: the straight
// edges' deltas and the widest field any edge uses.
struct Edges {
    std::vector<std::pair<std::int64_t, std::int64_t>> deltas;
    int widestBits = 0;
};
Edges ReadEdges(const Bytes& body, std::size_t styleBytes) {
    std::size_t bit = 8 * 2;
    auto u = [&](int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) v = v << 1 | ((body.at(bit / 8) >> (7 - bit % 8)) & 1u);
        return v;
    };
    auto sb = [&](int n) {
        const std::uint32_t v = u(n);
        return n > 0 && (v >> (n - 1)) ? static_cast<std::int64_t>(v) - (std::int64_t{1} << n) : std::int64_t{v};
    };
    const int rectBits = static_cast<int>(u(5));
    bit = 8 * (2 + (5 + 4 * static_cast<std::size_t>(rectBits) + 7) / 8 + styleBytes);
    const int fillBits = static_cast<int>(u(4)), lineBits = static_cast<int>(u(4));
    Edges e;
    for (;;) {
        if (u(1) == 0) {
            const std::uint32_t flags = u(5);
            if (flags == 0) return e;
            if (flags & 1) {
                const int n = static_cast<int>(u(5));
                sb(n);
                sb(n);
            }
            if (flags & 2) u(fillBits);
            if (flags & 4) u(fillBits);
            if (flags & 8) u(lineBits);
            continue;
        }
        const bool straight = u(1) != 0;
        const int n = static_cast<int>(u(4)) + 2;
        e.widestBits = std::max(e.widestBits, n);
        if (!straight) {
            for (int i = 0; i < 4; ++i) sb(n);
            continue;
        }
        std::int64_t dx = 0, dy = 0;
        if (u(1)) {
            dx = sb(n);
            dy = sb(n);
        } else if (u(1)) {
            dy = sb(n);
        } else {
            dx = sb(n);
        }
        e.deltas.emplace_back(dx, dy);
    }
}

// Pictures wider or taller than one straight edge can reach (3276 pixels) get edges in pieces:
// the outline still runs W x H and closes, and no edge needs more than 17 bits.
TEST(StretchShapeBody, LongEdgesAreDrawnInPieces) {
    const Bytes in = PlaceholderShape();
    const std::pair<int, int> sizes[] = {{100, 75}, {3276, 10}, {3277, 300}, {4000, 300}, {300, 9000}, {32767, 32767}};
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const auto out = StretchShapeBody(in.data(), in.size(), w * 20, h * 20);
        ASSERT_TRUE(out);
        const Edges e = ReadEdges(*out, 12);
        std::int64_t right = 0, down = 0, x = 0, y = 0;
        for (const auto& [dx, dy] : e.deltas) {
            if (dx > 0) right += dx;
            if (dy > 0) down += dy;
            x += dx;
            y += dy;
        }
        EXPECT_EQ(right, std::int64_t{w} * 20);
        EXPECT_EQ(down, std::int64_t{h} * 20);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        EXPECT_LE(e.widestBits, 17);
        EXPECT_EQ(e.deltas.size(), 5u + 2u * static_cast<std::size_t>(w * 20 / 65535) + 2u * static_cast<std::size_t>(h * 20 / 65535));
    }
}

TEST(ReplaceJpeg, RebuildsTheTemplateAroundThePicture) {
    TempDir dir;
    const Bytes jpeg = TinyJpeg(100);
    WriteFile(dir.path() / "pic.jpg", jpeg);
    CSwfTemplate t;
    ASSERT_TRUE(t.LoadFromBytes(JpegTemplate()));
    ASSERT_TRUE(t.ReplaceJpeg(dir.path() / "pic.jpg", 100, 75));
    EXPECT_EQ(t.FrameWidth(), 100);
    EXPECT_EQ(t.FrameHeight(), 75);
    EXPECT_EQ(t.JpegFrameWidth(), 2000);
    EXPECT_EQ(t.FrameRate(), 12);

    Bytes expected = {'F', 'W', 'S', 8, 0, 0, 0, 0, 0x60, 0x00, 0x3E, 0x80, 0x00, 0x2E, 0xE0,
                      0x00, 0x0C, 0x01, 0x00};
    Add(expected, Tag(9, {0xFF, 0xFF, 0xFF}));
    Bytes pic = {0x01, 0x00, 0xFF, 0xD9, 0xFF, 0xD8};
    Add(pic, jpeg);
    Add(expected, Tag(21, pic));  // 106 bytes: long header
    Add(expected, Tag(2, StretchedShape()));
    Add(expected, Tag(26, {0x06, 0x01, 0x00, 0x01, 0x00, 0x00}));
    Add(expected, Tag(32, {0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    Add(expected, ShowFrame());
    Add(expected, End());
    const auto n = static_cast<std::uint32_t>(expected.size());
    expected[4] = static_cast<std::uint8_t>(n);
    expected[5] = static_cast<std::uint8_t>(n >> 8);
    EXPECT_EQ(t.Bytes(), expected);
    EXPECT_TRUE(t.WalkAndRecolour());
}

TEST(ReplaceJpeg, SmallPictureGetsTheShortHeader) {
    TempDir dir;
    WriteFile(dir.path() / "pic.jpg", TinyJpeg(56));  // 56 + 6 = 62: still short
    CSwfTemplate t;
    ASSERT_TRUE(t.LoadFromBytes(JpegTemplate()));
    ASSERT_TRUE(t.ReplaceJpeg(dir.path() / "pic.jpg", 30, 25));
    ASSERT_TRUE(t.WalkAndRecolour());
    const TemplateTag& pic = t.Tags().at(1);
    EXPECT_EQ(pic.code, 21);
    EXPECT_EQ(pic.length, 2u + 62u);
}

TEST(ReplaceJpeg, FailureLeavesTheTemplateAsItWas) {
    TempDir dir;
    CSwfTemplate t;
    ASSERT_TRUE(t.LoadFromBytes(JpegTemplate()));
    t.MapColour(1, 2);
    EXPECT_FALSE(t.ReplaceJpeg(dir.path() / "missing.jpg", 100, 75));
    WriteFile(dir.path() / "pic.jpg", TinyJpeg(30));
    EXPECT_FALSE(t.ReplaceJpeg(dir.path() / "pic.jpg", 40000, 75));  // beyond 32767 pixels
    EXPECT_FALSE(t.ReplaceJpeg(dir.path() / "pic.jpg", 0, 75));
    EXPECT_EQ(t.Bytes(), JpegTemplate());
    EXPECT_EQ(t.ColourMap().size(), 1u);

    // A template whose tag runs past its end is not rebuilt.
    Bytes broken = JpegTemplate();
    broken[broken.size() - 4] = 0x3E;  // ShowFrame claims a 62-byte body
    CSwfTemplate b;
    ASSERT_TRUE(b.LoadFromBytes(broken));
    EXPECT_FALSE(b.ReplaceJpeg(dir.path() / "pic.jpg", 100, 75));
    EXPECT_EQ(b.Bytes(), broken);
}

// Pictures made by ffmpeg and cut or foreign ones: only whole JPEG streams are embedded.
TEST(ReplaceJpeg, OnlyWholeJpegPicturesAreTaken) {
    TempDir dir;
    const std::filesystem::path jpg = dir.path() / "made.jpg", png = dir.path() / "made.png";
    for (const std::filesystem::path& p : {jpg, png})
        if (!swftest::Run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "testsrc=s=64x48", "-frames:v", "1", p.string()}))
            GTEST_SKIP() << "needs ffmpeg";
    const Bytes made = swftest::ReadFile(jpg);
    Bytes trailing = made;
    Add(trailing, {0, 0, 0});
    Bytes scanFirst = TinyJpeg(40);
    std::rotate(scanFirst.begin() + 2, scanFirst.begin() + 15, scanFirst.begin() + 25);  // SOS, then SOF
    Bytes progressive = TinyJpeg(40, 0xC2);  // a second scan before the end
    progressive.insert(progressive.end() - 2, {0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 63, 0x10, 0x55});
    const struct {
        const char* name;
        Bytes bytes;
        bool taken;
    } cases[] = {
        {"ffmpeg's", made, true},
        {"with bytes after the end", trailing, true},
        {"progressive", progressive, true},
        {"empty", {}, false},
        {"cut in half", Bytes(made.begin(), made.begin() + static_cast<long>(made.size() / 2)), false},
        {"without its end marker", Bytes(made.begin(), made.end() - 2), false},
        {"a PNG", swftest::ReadFile(png), false},
        {"scan before the frame", scanFirst, false},
        {"segment past the end", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x40, 0x00, 0xFF, 0xD9}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsCompleteJpeg(c.bytes.data(), c.bytes.size()), c.taken);
        WriteFile(dir.path() / "pic.jpg", c.bytes);
        CSwfTemplate t;
        ASSERT_TRUE(t.LoadFromBytes(JpegTemplate()));
        EXPECT_EQ(t.ReplaceJpeg(dir.path() / "pic.jpg", 64, 48), c.taken);
    }
}

}  // namespace
}  // namespace tonvela
