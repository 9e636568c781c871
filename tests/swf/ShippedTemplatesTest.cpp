// The template set in the data folder: every file loads, lists, gives its four actions, carries
// the colours its kind's colour map looks for, and "time" templates carry the frame-rate literal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "swf/ColourMap.h"
#include "swf/FrameRateLiteral.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateActionsExtract.h"
#include "swf/TemplateKind.h"

namespace tonvela {
namespace {

namespace fs = std::filesystem;

const fs::path kData = TONVELA_DATA_DIR;

std::vector<fs::path> Templates(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() == ".swf") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// The map the batch would use for this template, with the track colours at their defaults.
void BuildMap(CSwfTemplate& t, const fs::path& p) {
    const TemplateKind kind = TemplateKindFromPath(p);
    if (kind == kKindTrack)
        BuildTrackColourMap(t, 0x00AA00, 0xE8FFE8, 0x9DFF9D, 0x008000);
    else
        BuildButtonColourMap(t, kind, 0x00AA00);
}

TEST(ShippedTemplates, EveryKindIsThereWithTheDefaultsInBothFolders) {
    std::set<int> kinds;
    for (const fs::path& p : Templates(kData / "ControlSWF")) kinds.insert(TemplateKindFromPath(p));
    EXPECT_EQ(kinds, (std::set<int>{100, 150, 200, 300, 400, 500, 600, 700}));
    EXPECT_TRUE(fs::exists(kData / "ControlSWF" / "square_gradient_3.swf"));
    EXPECT_TRUE(fs::exists(kData / "ControlSWF" / "ShellPlayer" / "square_gradient_3.swf"));
    // Shell players are twins of single-SWF templates of the same name.
    for (const fs::path& p : Templates(kData / "ControlSWF" / "ShellPlayer"))
        EXPECT_TRUE(fs::exists(kData / "ControlSWF" / p.filename())) << p;
}

TEST(ShippedTemplates, LoadListAndGiveTheirActions) {
    int timeTemplates = 0;
    for (const fs::path& p : Templates(kData / "ControlSWF")) {
        SCOPED_TRACE(p.string());
        CSwfTemplate t;
        ASSERT_TRUE(t.Load(p));
        ASSERT_TRUE(t.WalkAndRecolour());
        EXPECT_EQ(t.Tags().back().code, kTagEnd);
        TemplateActions a;
        ASSERT_TRUE(ExtractTemplateActions(t, a));
        if (TemplateShowsTime(p)) {
            ++timeTemplates;
            EXPECT_TRUE(FindFrameRateLiteral(a.startPlay));
            EXPECT_TRUE(FindFrameRateLiteral(a.startStop));
        }
        // Frame 1 must hold a ShowFrame so the controls can be copied.
        bool frame = false;
        for (const TemplateTag& tag : t.Tags()) frame = frame || tag.code == kTagShowFrame;
        EXPECT_TRUE(frame);
    }
    EXPECT_GE(timeTemplates, 2);
    for (const fs::path& p : Templates(kData / "ControlSWF" / "ShellPlayer")) {
        CSwfTemplate t;
        EXPECT_TRUE(t.Load(p) && t.WalkAndRecolour()) << p;
    }
}

TEST(ShippedTemplates, CarryEveryColourOfTheirMap) {
    for (const fs::path& folder : {kData / "ControlSWF", kData / "ControlSWF" / "ShellPlayer"}) {
        for (const fs::path& p : Templates(folder)) {
            SCOPED_TRACE(p.string());
            CSwfTemplate probe;
            ASSERT_TRUE(probe.Load(p));
            BuildMap(probe, p);
            const auto map = probe.ColourMap();
            EXPECT_FALSE(map.empty());  // the picture template's buttons take the colour too
            // Each "from" colour alone, mapped to a colour the artwork never uses: some byte
            // must change, so that colour is really in the file.
            for (const auto& [from, to] : map) {
                CSwfTemplate t;
                ASSERT_TRUE(t.Load(p));
                t.MapColour(from, 0x010203);
                t.SetBackground(0xFFFFFF);
                ASSERT_TRUE(t.WalkAndRecolour());
                CSwfTemplate original;
                ASSERT_TRUE(original.Load(p));
                EXPECT_NE(t.Bytes(), original.Bytes()) << std::hex << "colour " << from;
            }
        }
    }
}

TEST(ShippedTemplates, JpegTemplateHasThePlaceholderAndStretches) {
    CSwfTemplate t;
    const fs::path p = kData / "ControlSWF" / "use_a_jpeg_1.swf";
    ASSERT_TRUE(t.Load(p));
    ASSERT_TRUE(t.WalkAndRecolour());
    int shapes = 0, pictures = 0;
    for (const TemplateTag& tag : t.Tags()) {
        shapes += tag.code == kTagDefineShape;
        pictures += tag.code == kTagDefineBitsJpeg2;
    }
    EXPECT_EQ(shapes, 1);
    EXPECT_EQ(pictures, 1);
    ASSERT_TRUE(t.ReplaceJpeg(kData / "sample.jpg", 320, 240));
    EXPECT_EQ(t.FrameWidth(), 320);
    EXPECT_EQ(t.FrameHeight(), 240);
    ASSERT_TRUE(t.WalkAndRecolour());
    TemplateActions a;
    EXPECT_TRUE(ExtractTemplateActions(t, a));
}

TEST(ShippedTemplates, EmptySwfHoldsOnlyTheFourActions) {
    CSwfTemplate t;
    ASSERT_TRUE(t.Load(kData / "empty.swf"));
    ASSERT_TRUE(t.WalkAndRecolour());
    int actions = 0;
    for (const TemplateTag& tag : t.Tags()) {
        EXPECT_TRUE(tag.code == kTagDoAction || tag.code == kTagShowFrame || tag.code == kTagEnd);
        actions += tag.code == kTagDoAction;
    }
    EXPECT_EQ(actions, 4);
    TemplateActions a;
    EXPECT_TRUE(ExtractTemplateActions(t, a));
}

}  // namespace
}  // namespace tonvela
