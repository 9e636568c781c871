#include "swf/JpegRewrite.h"

#include <gtest/gtest.h>

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
    // An edge longer than the format's 17-bit field cannot be written.
    EXPECT_FALSE(StretchShapeBody(in.data(), in.size(), 70000 * 20, 1500));
}

TEST(ReplaceJpeg, RebuildsTheTemplateAroundThePicture) {
    TempDir dir;
    Bytes jpeg(100);
    for (std::size_t i = 0; i < jpeg.size(); ++i) jpeg[i] = static_cast<std::uint8_t>(i * 7);
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
    WriteFile(dir.path() / "pic.jpg", Bytes(56, 0xAB));  // 56 + 6 = 62: still short
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
    WriteFile(dir.path() / "pic.jpg", Bytes(10, 1));
    EXPECT_FALSE(t.ReplaceJpeg(dir.path() / "pic.jpg", 5000, 75));  // edge beyond 17 bits
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

}  // namespace
}  // namespace tonvela
