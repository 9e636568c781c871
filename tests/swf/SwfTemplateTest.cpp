#include "swf/SwfTemplate.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "swf/ColourMap.h"
#include "swf/SwfHeader.h"
#include "swf/TemplateActionsExtract.h"
#include "swf/TemplateKind.h"
#include "swf/TemplateTestSwf.h"

namespace tonvela {
namespace {

using namespace testswf;

// DefineShape3 with: a solid black fill at alpha 0x80, a gradient black -> white, a bitmap fill,
// an unmapped solid (0x11, 0x22, 0x33); a black line; inside the records a new-styles change
// with a black fill at alpha 0x40, a general line (1, -1), the end record.
Bytes Shape3Body() {
    Bytes b = {0x01, 0x00, 0x00,                          // id 1, empty RECT
               0x04,                                      // four fill styles
               0x00, 0x00, 0x00, 0x00, 0x80,              // solid black, alpha 0x80
               0x10, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
               0x41, 0xFF, 0xFF, 0x00,                    // clipped bitmap 0xFFFF, identity
               0x00, 0x11, 0x22, 0x33, 0xFF,              // unmapped solid
               0x01, 0x14, 0x00, 0x00, 0x00, 0x00, 0xFF,  // one line, width 20, black
               0x21};                                     // fill bits 2, line bits 1
    Add(b, {0x49});                                       // style change: new styles, fill0 = 1
    Add(b, {0x01, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00});   // new fills: black alpha 0x40; no lines
    Add(b, {0x10});                                       // fill bits 1, line bits 0
    Add(b, BitString("11 0000 1 01 11 000000"));          // general line (1, -1), end
    return b;
}

// Offsets of the colours inside Shape3Body.
constexpr std::size_t kSolid = 5, kStop0 = 13, kStop1 = 18, kUnmapped = 27, kLine = 34,
                      kNewFill = 42;

Bytes ShapeBody() {  // DefineShape: one solid black RGB fill
    return {0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00};
}

Bytes EditTextBody(std::uint8_t alpha) {  // has font, has text colour; variable "v"
    return {0x03, 0x00, 0x00, 0x05, 0x00, 0x04, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00, alpha,
            'v', 0x00};
}

Bytes TextBody() {
    Bytes b = {0x05, 0x00, 0x00, 0x00, 0x02, 0x03,  // id, RECT, MATRIX, glyph bits 2, advance 3
               0x8D, 0x04, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x40, 0x01,  // font, black, x, height
               0x02};                                                     // two glyphs
    Add(b, BitString("01 101 10 011"));
    Add(b, {0x84, 0xFF, 0xFF, 0xFF, 0x00});  // white style record, end
    return b;
}

Bytes SpriteBody() {
    Bytes b = {0x06, 0x00, 0x01, 0x00};
    Add(b, Tag(2, ShapeBody()));
    Add(b, ShowFrame());
    Add(b, End());
    return b;
}

// The tags above, with a SetBackgroundColor first.
Bytes RichTemplate() {
    return Movie({Tag(9, {0x10, 0x20, 0x30}), Tag(32, Shape3Body()), Tag(2, ShapeBody()),
                  Tag(37, EditTextBody(0x80)), Tag(11, TextBody()), Tag(39, SpriteBody()),
                  ShowFrame(), End()});
}

CSwfTemplate Loaded(const Bytes& b) {
    CSwfTemplate t;
    EXPECT_TRUE(t.LoadFromBytes(b));
    return t;
}

// Offset of the body of the n-th top-level tag.
std::size_t BodyOf(const CSwfTemplate& t, std::size_t n) {
    const TemplateTag& tag = t.Tags().at(n);
    const std::uint8_t* p = t.Bytes().data() + tag.offset;
    return tag.offset + ((p[0] & 0x3F) == 0x3F ? 6 : 2);
}

Bytes At(const CSwfTemplate& t, std::size_t offset, std::size_t n) {
    return Bytes(t.Bytes().begin() + static_cast<std::ptrdiff_t>(offset),
                 t.Bytes().begin() + static_cast<std::ptrdiff_t>(offset + n));
}

// ---- Loading ----------------------------------------------------------------------------------

TEST(SwfTemplateLoad, ReadsTheHeader) {
    TempDir dir;
    WriteFile(dir.path() / "t.swf", RichTemplate());
    CSwfTemplate t;
    ASSERT_TRUE(t.Load(dir.path() / "t.swf"));
    EXPECT_EQ(t.Version(), 8);
    EXPECT_EQ(t.FrameWidth(), 550);
    EXPECT_EQ(t.FrameHeight(), 400);
    EXPECT_EQ(t.FrameRate(), 12);
    EXPECT_EQ(t.FirstTagOffset(), 8u + 9u + 4u);
    EXPECT_TRUE(t.Tags().empty());  // listing is the walk's job
}

TEST(SwfTemplateLoad, RefusesCompressedShortAndTruncatedFiles) {
    TempDir dir;
    const Bytes good = RichTemplate();
    auto refused = [&](const Bytes& b) {
        WriteFile(dir.path() / "x.swf", b);
        CSwfTemplate t;
        const bool ok = t.Load(dir.path() / "x.swf");
        EXPECT_FALSE(t.Loaded());
        return !ok;
    };
    Bytes cws = good;
    cws[0] = 'C';
    EXPECT_TRUE(refused(cws));
    Bytes zws = good;
    zws[0] = 'Z';
    EXPECT_TRUE(refused(zws));
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 7)));  // not even a header
    Bytes tiny = {'F', 'W', 'S', 8, 20, 0, 0, 0};                  // declared length 20
    tiny.resize(20, 0);
    EXPECT_TRUE(refused(tiny));
    EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1)));  // shorter than declared
    Bytes huge = good;                                            // declares 4 GB
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
    EXPECT_TRUE(refused(huge));
    CSwfTemplate t;
    EXPECT_FALSE(t.Load(dir.path() / "missing.swf"));
    // A FIFO in a template's place is refused at once (the alarm ends a regression's hang).
    ASSERT_EQ(::mkfifo((dir.path() / "fifo.swf").c_str(), 0600), 0);
    ::alarm(20);
    std::string why;
    EXPECT_FALSE(t.Load(dir.path() / "fifo.swf", &why));
    EXPECT_EQ(why, "it is not a regular file");
    EXPECT_FALSE(ReadSwfHeader(dir.path() / "fifo.swf"));
    ::alarm(0);

    // A longer file is read only up to its declared length.
    Bytes longer = good;
    longer.insert(longer.end(), {1, 2, 3});
    WriteFile(dir.path() / "long.swf", longer);
    ASSERT_TRUE(t.Load(dir.path() / "long.swf"));
    EXPECT_EQ(t.Bytes(), good);
}

TEST(SwfTemplateWalk, RefusesATemplateThatBreaksOffMidTag) {
    // The last tag claims 10 bytes of body but the file ends after 2 of them; the declared
    // length matches the file, so only the walk can tell.
    Bytes b = Movie({ShowFrame(), Tag(12, {0x07, 0x00})});
    b[b.size() - 4] = static_cast<std::uint8_t>(12 << 6 | 10);
    CSwfTemplate t = Loaded(b);
    BuildButtonColourMap(t, kKindCirclePlain, 0x563412);
    EXPECT_FALSE(t.WalkAndRecolour());
    EXPECT_TRUE(t.Tags().empty());
    TemplateActions actions;
    EXPECT_FALSE(ExtractTemplateActions(t, actions));
    // Half a tag header at the end is as bad.
    Bytes half = Movie({ShowFrame(), Bytes{0x3F}});
    CSwfTemplate t2 = Loaded(half);
    EXPECT_FALSE(t2.WalkAndRecolour());
}

TEST(SwfTemplateWalk, ListsTopLevelTagsOnlyEndIncluded) {
    CSwfTemplate t = Loaded(RichTemplate());
    ASSERT_TRUE(t.WalkAndRecolour());
    std::vector<std::uint16_t> codes;
    t.ResetTagCursor();
    std::uint16_t code;
    const std::uint8_t* bytes;
    std::uint32_t length;
    std::size_t total = t.FirstTagOffset();
    while (t.NextTag(code, bytes, length)) {
        codes.push_back(code);
        EXPECT_EQ(bytes, t.Bytes().data() + total);
        total += length;
    }
    EXPECT_EQ(codes, (std::vector<std::uint16_t>{9, 32, 2, 37, 11, 39, 1, 0}));
    EXPECT_EQ(total, t.Bytes().size());
}

// ---- Recolouring ------------------------------------------------------------------------------

TEST(SwfTemplateRecolour, Kind150MapsEveryBlackAndKeepsAlpha) {
    CSwfTemplate t = Loaded(RichTemplate());
    BuildButtonColourMap(t, kKindCirclePlain, 0x563412);  // red 0x12, green 0x34, blue 0x56
    t.SetBackground(0x0000FF);
    ASSERT_TRUE(t.WalkAndRecolour());
    const std::size_t bg = BodyOf(t, 0), s3 = BodyOf(t, 1), s = BodyOf(t, 2), et = BodyOf(t, 3),
                      tx = BodyOf(t, 4), sp = BodyOf(t, 5);
    EXPECT_EQ(At(t, bg, 3), (Bytes{0xFF, 0x00, 0x00}));
    EXPECT_EQ(At(t, s3 + kSolid, 4), (Bytes{0x12, 0x34, 0x56, 0x80}));
    EXPECT_EQ(At(t, s3 + kStop0, 4), (Bytes{0x12, 0x34, 0x56, 0xFF}));
    EXPECT_EQ(At(t, s3 + kStop1, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(At(t, s3 + kUnmapped, 4), (Bytes{0x11, 0x22, 0x33, 0xFF}));
    EXPECT_EQ(At(t, s3 + kLine, 4), (Bytes{0x12, 0x34, 0x56, 0xFF}));
    EXPECT_EQ(At(t, s3 + kNewFill, 4), (Bytes{0x12, 0x34, 0x56, 0x40}));
    EXPECT_EQ(At(t, s + 5, 3), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(At(t, et + 9, 4), (Bytes{0x12, 0x34, 0x56, 0x80}));
    EXPECT_EQ(At(t, tx + 9, 3), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ(At(t, tx + 20, 3), (Bytes{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(At(t, sp + 11, 3), (Bytes{0x12, 0x34, 0x56}));  // inside the sprite
    EXPECT_EQ(t.Bytes().size(), RichTemplate().size());

    // Only the colour bytes changed.
    const Bytes before = RichTemplate();
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) changed += before[i] != t.Bytes()[i];
    EXPECT_EQ(changed, 3u + 8 * 3u);  // the background and eight black colours
}

TEST(SwfTemplateRecolour, EmptyMapChangesNoByteNotEvenTheBackground) {
    for (int kind : {kKindNone, kKindTrack}) {
        CSwfTemplate t = Loaded(RichTemplate());
        BuildButtonColourMap(t, kind, 0x563412);
        EXPECT_TRUE(t.ColourMap().empty());
        t.SetBackground(0x0000FF);
        ASSERT_TRUE(t.WalkAndRecolour());
        EXPECT_EQ(t.Bytes(), RichTemplate());
    }
}

// One DefineShape3 with a solid fill per colour, for checking a map's targets.
Bytes SolidsTemplate(const std::vector<std::uint32_t>& colours) {
    Bytes b = {0x01, 0x00, 0x00, static_cast<std::uint8_t>(colours.size())};
    for (std::uint32_t c : colours)
        Add(b, {0x00, static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                static_cast<std::uint8_t>(c >> 16), 0xFF});
    Add(b, {0x00, 0x00, 0x00});  // no lines, bits 0/0, end record
    return Movie({Tag(32, b), ShowFrame(), End()});
}

std::vector<std::uint32_t> SolidsAfter(const CSwfTemplate& t, std::size_t n) {
    std::vector<std::uint32_t> out;
    const std::size_t body = BodyOf(t, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = t.Bytes().data() + body + 5 + 5 * i;
        out.push_back(static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16));
    }
    return out;
}

TEST(SwfTemplateRecolour, Kind100ShadesWithTheDefaultCoefficients) {
    const std::vector<std::uint32_t> greens = {0x004A00, 0x00A41D, 0x01EF61, 0xD7FFD5, 0x00FF00};
    CSwfTemplate t = Loaded(SolidsTemplate(greens));
    BuildButtonColourMap(t, TemplateKindFromPath("circle_gradient_1.swf"), 0x00AA00);
    ASSERT_TRUE(t.WalkAndRecolour());
    // dark 0.4: (0, 0x44, 0); c; tint 0.3: (0x4C, 0xC3, 0x4C); tint 0.8: (0xCC, 0xEE, 0xCC);
    // a green not in the map stays.
    EXPECT_EQ(SolidsAfter(t, 5),
              (std::vector<std::uint32_t>{0x004400, 0x00AA00, 0x4CC34C, 0xCCEECC, 0x00FF00}));
}

TEST(SwfTemplateRecolour, Kind500ScalesAndLimits) {
    const std::vector<std::uint32_t> greys = {0x6F6F6F, 0xBBBBBB, 0x5E5E5E, 0x777777};
    CSwfTemplate t = Loaded(SolidsTemplate(greys));
    BuildButtonColourMap(t, kKindRoundRect, 0x0080FF);  // red 0xFF, green 0x80, blue 0
    ASSERT_TRUE(t.WalkAndRecolour());
    // 0xBB: 255 x 1.68 limited to 255, 128 x 1.6846846 = 215.6 -> 0xD7.
    // 0x5E: 255 x 0.8468468 = 215.9 -> 0xD7, 128 x 0.8468468 = 108.4 -> 0x6C.
    // 0x77: 255 x 1.072072 -> 255, 128 x 1.072072 = 137.2 -> 0x89.
    EXPECT_EQ(SolidsAfter(t, 4),
              (std::vector<std::uint32_t>{0x0080FF, 0x00D7FF, 0x006CD7, 0x0089FF}));
}

TEST(SwfTemplateRecolour, TrackMapUsesTheShadeAndTheThreeTrackColours) {
    const std::vector<std::uint32_t> greys = {0x666666, 0x171717, 0x888888, 0xD5D5D5, 0x383838,
                                              0x555555};
    CSwfTemplate t = Loaded(SolidsTemplate(greys));
    BuildTrackColourMap(t, 0x000064, 0x0A0B0C, 0x0D0E0F, 0x010203, 0.5f);  // red 100
    ASSERT_TRUE(t.WalkAndRecolour());
    // 0x66: 100 x 0.5 = 50; 0x17: 100 x 0.2254902 = 22.5 -> 22; 0x55: 100 x 0.5 x 85/102 = 41.7.
    EXPECT_EQ(SolidsAfter(t, 6), (std::vector<std::uint32_t>{50, 22, 0x0A0B0C, 0x0D0E0F, 0x010203,
                                                             41}));
}

TEST(SwfTemplateRecolour, MapColourReplacesAnExistingTarget) {
    CSwfTemplate t;
    t.MapColour(0x000000, 0x111111);
    t.MapColour(0x222222, 0x333333);
    t.MapColour(0x000000, 0x444444);
    ASSERT_EQ(t.ColourMap().size(), 2u);
    EXPECT_EQ(t.ColourMap()[0].second, 0x444444u);
}

TEST(SwfTemplateRecolour, HostileBytesStayInsideTheBuffer) {
    // Random damage to a valid template: whatever the walk does, it must not read or write
    // outside the buffer (the sanitizer build checks) and must keep the size.
    const Bytes good = RichTemplate();
    std::mt19937 rng(1234);
    int walked = 0;
    for (int i = 0; i < 3000; ++i) {
        Bytes b = good;
        const int hits = 1 + static_cast<int>(rng() % 6);
        for (int h = 0; h < hits; ++h) b[21 + rng() % (b.size() - 21)] = static_cast<std::uint8_t>(rng());
        CSwfTemplate t;
        if (!t.LoadFromBytes(b)) continue;
        BuildButtonColourMap(t, kKindCirclePlain, 0x563412);
        walked += t.WalkAndRecolour();
        EXPECT_EQ(t.Bytes().size(), good.size());
        TemplateActions a;
        ExtractTemplateActions(t, a);
    }
    // Most damage leaves the tag headers alone, so most runs reach the tag parsers.
    EXPECT_GT(walked, 1000);
}

TEST(SwfTemplateSave, WritesTheRecolouredBytesReadableByOthers) {
    TempDir dir;
    CSwfTemplate t = Loaded(RichTemplate());
    BuildButtonColourMap(t, kKindCirclePlain, 0x563412);
    ASSERT_TRUE(t.WalkAndRecolour());
    const auto out = dir.path() / "a.player.swf";
    WriteFile(out, {1, 2, 3});  // replaced
    ASSERT_TRUE(t.SaveAs(out));
    CSwfTemplate back;
    ASSERT_TRUE(back.Load(out));
    EXPECT_EQ(back.Bytes(), t.Bytes());
    // A web server must be able to serve it (the usual umask leaves group and others read).
    const auto perms = std::filesystem::status(out).permissions();
    EXPECT_NE(perms & std::filesystem::perms::others_read, std::filesystem::perms::none);
    EXPECT_FALSE(CSwfTemplate().SaveAs(dir.path() / "empty.swf"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "empty.swf"));
}

// ---- Kinds ------------------------------------------------------------------------------------

TEST(TemplateKind, FromTheFileNameInAnyCase) {
    EXPECT_EQ(TemplateKindFromPath("/x/ControlSWF/Circle_Gradient_1.swf"), kKindCircleGradient);
    EXPECT_EQ(TemplateKindFromPath("circle_plain_2.swf"), kKindCirclePlain);
    EXPECT_EQ(TemplateKindFromPath("square_gradient_3.swf"), kKindSquareGradient);
    EXPECT_EQ(TemplateKindFromPath("TRACK_time_1.swf"), kKindTrack);
    EXPECT_EQ(TemplateKindFromPath("trumpet.swf"), kKindTrumpet);
    EXPECT_EQ(TemplateKindFromPath("round_rect_1.swf"), kKindRoundRect);
    EXPECT_EQ(TemplateKindFromPath("use_a_jpeg.swf"), kKindJpeg);
    EXPECT_EQ(TemplateKindFromPath("plain.swf"), kKindNone);
    // "text" is tested before the later stems.
    EXPECT_EQ(TemplateKindFromPath("text_round_rect.swf"), kKindText);
    EXPECT_EQ(TemplateKindFromPath("circle_plain_text.swf"), kKindCirclePlain);
    // Folder names do not count.
    EXPECT_EQ(TemplateKindFromPath("/home/u/texts/ControlSWF/square_gradient_3.swf"),
              kKindSquareGradient);
    EXPECT_EQ(TemplateKindFromPath("/opt/circle_gradient/plain.swf"), kKindNone);
}

TEST(TemplateKind, TimeFromTheFileName) {
    EXPECT_TRUE(TemplateShowsTime("/a/square_gradient_TIME_3.swf"));
    EXPECT_FALSE(TemplateShowsTime("/opt/runtime/square_gradient_3.swf"));
    EXPECT_EQ(TemplateKindFromPath("square_gradient_time_3.swf"), kKindSquareGradient);
}

}  // namespace
}  // namespace tonvela
