#include <gtest/gtest.h>

#include "swf/FrameRateLiteral.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateActionsExtract.h"
#include "swf/TemplateTestSwf.h"

namespace tonvela {
namespace {

using namespace testswf;

// ConstantPool "a", "b", "fps"; push (constant 2, integer 12); SetVariable; then one action.
Bytes StartActions(std::uint8_t last) {
    return {0x88, 0x0A, 0x00, 0x03, 0x00, 'a', 0, 'b', 0, 'f', 'p', 's', 0,
            0x96, 0x07, 0x00, 0x08, 0x02, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x1D, last};
}

// Frame 1: a stop of its own; frame 2: nothing; frames 3 to 6: one DoAction each.
std::vector<Bytes> LayoutTags(bool withEndStop) {
    std::vector<Bytes> tags = {DoAction({0x07}), ShowFrame(), ShowFrame(),
                               DoAction(StartActions(0x06)), ShowFrame(),
                               DoAction(StartActions(0x07)), ShowFrame(),
                               DoAction({0x81, 0x02, 0x00, 0x01, 0x00, 0x06}), ShowFrame()};
    if (withEndStop) tags.push_back(DoAction({0x07}));
    tags.push_back(ShowFrame());
    tags.push_back(End());
    return tags;
}

CSwfTemplate Walked(const Bytes& b) {
    CSwfTemplate t;
    EXPECT_TRUE(t.LoadFromBytes(b));
    EXPECT_TRUE(t.WalkAndRecolour());
    return t;
}

TEST(ExtractTemplateActions, TakesFramesThreeToSixWholeWithTheirHeaders) {
    CSwfTemplate t = Walked(Movie(LayoutTags(true)));
    TemplateActions a;
    ASSERT_TRUE(ExtractTemplateActions(t, a));
    EXPECT_EQ(a.startPlay.bytes, DoAction(StartActions(0x06)));
    EXPECT_EQ(a.startStop.bytes, DoAction(StartActions(0x07)));
    EXPECT_EQ(a.endLoop.bytes, DoAction({0x81, 0x02, 0x00, 0x01, 0x00, 0x06}));
    EXPECT_EQ(a.endStop.bytes, DoAction({0x07}));  // not the frame-1 stop
    EXPECT_FALSE(a.startPlay.frameRatePatch);
}

TEST(ExtractTemplateActions, MissingEndStopIsNotValid) {
    CSwfTemplate t = Walked(Movie(LayoutTags(false)));
    TemplateActions a;
    a.endStop.bytes = {1, 2, 3};  // emptied first, not left over
    EXPECT_FALSE(ExtractTemplateActions(t, a));
    EXPECT_TRUE(a.endStop.empty());
    EXPECT_FALSE(a.startPlay.empty());
}

TEST(ExtractTemplateActions, LaterDoActionOfAFrameWinsAndEmptyTemplateFails) {
    std::vector<Bytes> tags = LayoutTags(true);
    tags.insert(tags.begin() + 4, DoAction({0x06, 0x06}));  // second DoAction in frame 3
    CSwfTemplate t = Walked(Movie(tags));
    TemplateActions a;
    ASSERT_TRUE(ExtractTemplateActions(t, a));
    EXPECT_EQ(a.startPlay.bytes, DoAction({0x06, 0x06}));

    CSwfTemplate notWalked;
    ASSERT_TRUE(notWalked.LoadFromBytes(Movie(LayoutTags(true))));
    EXPECT_FALSE(ExtractTemplateActions(notWalked, a));
}

std::optional<std::size_t> Find(const Bytes& b) { return FindFrameRateLiteral(b.data(), b.size()); }

TEST(FrameRateLiteral, PointsAtTheIntegerTwelve) {
    const Bytes tag = DoAction(StartActions(0x06));
    const auto at = FindFrameRateLiteral(tag.data(), tag.size());
    // Header 2 + constant pool 13 + push header and constant 6.
    ASSERT_TRUE(at);
    EXPECT_EQ(*at, 21u);
    EXPECT_EQ(tag[*at], 12);

    ActionTag action;
    action.bytes = tag;
    action.frameRatePatch = FindFrameRateLiteral(action);
    const Bytes patched = action.WithFrameRate(30);
    EXPECT_EQ(Bytes(patched.begin() + 21, patched.begin() + 25), (Bytes{30, 0, 0, 0}));

    // Another integer, another constant or a different action after it: no literal.
    Bytes other = StartActions(0x06);
    other[19] = 13;
    EXPECT_FALSE(Find(DoAction(other)));
    other = StartActions(0x06);
    other[23] = 0x1C;
    EXPECT_FALSE(Find(DoAction(other)));
    const Bytes cut(tag.begin(), tag.begin() + 25);  // ends inside the sequence
    EXPECT_FALSE(FindFrameRateLiteral(cut.data(), cut.size()));
    EXPECT_FALSE(FindFrameRateLiteral(nullptr, 0));
}

}  // namespace
}  // namespace tonvela
