#include "convert/ConvertOptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "platform/SettingsStore.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

const std::string kKey = kOptionsKey;

CSettingsStore::Binary Floats(std::initializer_list<float> values) {
    CSettingsStore::Binary out;
    for (float f : values) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    return out;
}

// Writes the given store text, then loads a fresh record from it.
CConvertOptions LoadFrom(const CTestTempDir& dir, const std::string& text) {
    WriteText(dir / CSettingsStore::kFileName, text);
    CSettingsStore store(dir.Path());
    store.Load();
    CConvertOptions o("/data");
    o.Load(store);
    return o;
}

void ExpectDefaults(const CConvertOptions& o, const std::string& data) {
    EXPECT_EQ(o.AutoDestMP3EncodingParam, 1);
    EXPECT_EQ(o.MP3BitRate, 24);
    EXPECT_EQ(o.MP3SampleRate, 22050);
    EXPECT_EQ(o.MP3ChannelNum, 1);
    EXPECT_EQ(o.ChangeVolume, 0);
    EXPECT_EQ(o.VolumeCoef, 100);
    EXPECT_EQ(o.SkipFirstMs, 0);
    EXPECT_EQ(o.SkipLastMs, 0);
    EXPECT_EQ(o.ConvertDuration, 0);
    EXPECT_EQ(o.TrimLastType, 0);
    EXPECT_EQ(o.CreateCtrlSWF, 1);
    EXPECT_EQ(o.ButtonSWFType, 11);
    EXPECT_EQ(o.SWFSoundType, 10);
    EXPECT_EQ(o.ControlSWF, data + "ControlSWF/square_gradient_3.swf");
    EXPECT_EQ(o.ShellPlayerSWF, data + "ControlSWF/ShellPlayer/square_gradient_3.swf");
    EXPECT_EQ(o.SWFFrameRate, 12);
    EXPECT_EQ(o.SWFInitPlay, 1);
    EXPECT_EQ(o.SWFLoopPlay, 0);
    EXPECT_EQ(o.BlankFrames, 0);
    EXPECT_EQ(o.SWFBkgColor, 0xFFFFFF);
    EXPECT_EQ(o.SWFBtnColor, 0x00AA00);
    EXPECT_EQ(o.TrackSWFBkgTopColor, 0xE8FFE8);
    EXPECT_EQ(o.TrackSWFBkgBottomColor, 0x9DFF9D);
    EXPECT_EQ(o.TrackSWFBorderColor, 0x008000);
    EXPECT_EQ(o.JPEGFile, data + "sample.jpg");
    EXPECT_EQ(o.JPEGWidth, 100);
    EXPECT_EQ(o.JPEGHeight, 75);
    EXPECT_EQ(o.GC, (std::array<float, 4>{0.4f, 1.0f, 0.3f, 0.8f}));
    EXPECT_EQ(o.TBC, 1.0f);
    EXPECT_EQ(o.SWFOutputFolderOpt, 199);
    EXPECT_EQ(o.SWFSpecifiedFolder, "");
    EXPECT_EQ(o.CreateDirs, 0);
    EXPECT_EQ(o.TargetExistsOpt, 11);
    EXPECT_EQ(o.OutputFiles2MyDocuments, 1);
    EXPECT_EQ(o.BrowseOutFolder, 1);
    EXPECT_EQ(o.CreateHtmlFile, 1);
    EXPECT_EQ(o.AddFileNameOnHtml, 1);
    EXPECT_EQ(o.Folder, "");
    EXPECT_EQ(o.EmptySWF, data + "empty.swf");
    EXPECT_EQ(o.HtmlTemplateFile, data + "Template.htm");
}

TEST(ConvertOptions, FirstRunGivesEveryDefault) {
    CTestTempDir dir;
    CSettingsStore store(dir / "none");
    ASSERT_TRUE(store.Load());
    CConvertOptions o("/opt/tonvela/share");  // a folder without trailing slash gets one
    o.Load(store);
    ExpectDefaults(o, "/opt/tonvela/share/");
}

// A line that cannot be read costs only itself: the values around it still load.
TEST(ConvertOptions, DamagedLineKeepsTheOtherValues) {
    CTestTempDir dir;
    CConvertOptions o = LoadFrom(
        dir, "[Software\\Tonvela\\Options]\nSWFFrameRate=dword:00000018\nbroken line\nVolumeCoef = dword:000000c8\n");
    EXPECT_EQ(o.SWFFrameRate, 24);
    EXPECT_EQ(o.VolumeCoef, 200);
    o.SWFFrameRate = 12;
    o.VolumeCoef = 100;
    ExpectDefaults(o, "/data/");
}

TEST(ConvertOptions, SaveThenLoadKeepsEveryValue) {
    CTestTempDir dir;
    // Existing files, so the path corrections keep them.
    WriteText(dir / "c.swf", "x");
    WriteText(dir / "s.swf", "x");
    WriteText(dir / "p.jpg", "x");
    CConvertOptions o("/data");
    // A value within its setting's rules for every field, none of them the default.
    const std::pair<int*, int> values[] = {
        {&o.AutoDestMP3EncodingParam, 0}, {&o.MP3BitRate, 128}, {&o.MP3SampleRate, 44100}, {&o.ChangeVolume, 1},
        {&o.VolumeCoef, 250}, {&o.SkipFirstMs, 1500}, {&o.SkipLastMs, 1600}, {&o.ConvertDuration, 1700},
        {&o.TrimLastType, 1}, {&o.CreateCtrlSWF, 0}, {&o.ButtonSWFType, 22}, {&o.SWFSoundType, 20},
        {&o.SWFFrameRate, 200}, {&o.SWFInitPlay, 0}, {&o.SWFLoopPlay, 1}, {&o.BlankFrames, 1008},
        {&o.SWFBkgColor, 0x010203}, {&o.SWFBtnColor, 0x040506}, {&o.TrackSWFBkgTopColor, 0x070809},
        {&o.TrackSWFBkgBottomColor, 0x0A0B0C}, {&o.TrackSWFBorderColor, 0xFFFFFF}, {&o.JPEGWidth, 1022},
        {&o.JPEGHeight, 32767}, {&o.SWFOutputFolderOpt, 399}, {&o.CreateDirs, 1}, {&o.TargetExistsOpt, 33},
        {&o.OutputFiles2MyDocuments, 0}, {&o.BrowseOutFolder, 0}, {&o.CreateHtmlFile, 0},
        {&o.AddFileNameOnHtml, 0}, {&o.ConvertJobs, 7}};
    for (auto [field, value] : values) *field = value;
    o.MP3ChannelNum = 2;
    o.ControlSWF = (dir / "c.swf").string();
    o.ShellPlayerSWF = (dir / "s.swf").string();
    o.JPEGFile = (dir / "p.jpg").string();
    o.SWFSpecifiedFolder = "/out put";
    o.Folder = "/music";
    o.HtmlWebPlayer = kWebPlayerBesidePage;
    o.HtmlWebPlayerUrl = "https://example.org/ruffle.js";
    o.GC = {0.0f, 0.25f, 0.5f, 1.0f};
    o.TBC = 4.5f;
    CSettingsStore store(dir / "cfg");
    bool saved = false;
    EXPECT_EQ(o.Save(store, kSaveFolder | kSaveOptions, &saved), 1);
    EXPECT_TRUE(saved);

    CSettingsStore again(dir / "cfg");
    ASSERT_TRUE(again.Load());
    CConvertOptions l("/elsewhere");
    l.Load(again);
    EXPECT_EQ(l.AutoDestMP3EncodingParam, o.AutoDestMP3EncodingParam);
    EXPECT_EQ(l.AddFileNameOnHtml, o.AddFileNameOnHtml);
    EXPECT_EQ(l.TrackSWFBorderColor, o.TrackSWFBorderColor);
    EXPECT_EQ(l.SWFOutputFolderOpt, o.SWFOutputFolderOpt);
    EXPECT_EQ(l.JPEGHeight, o.JPEGHeight);
    EXPECT_EQ(l.SkipFirstMs, 1500);
    EXPECT_EQ(l.MP3ChannelNum, 2);
    EXPECT_EQ(l.ControlSWF, o.ControlSWF);
    EXPECT_EQ(l.ShellPlayerSWF, o.ShellPlayerSWF);
    EXPECT_EQ(l.JPEGFile, o.JPEGFile);
    EXPECT_EQ(l.SWFSpecifiedFolder, "/out put");
    EXPECT_EQ(l.Folder, "/music");
    EXPECT_EQ(l.GC, o.GC);
    EXPECT_EQ(l.TBC, 4.5f);
    // Every integer field: compare the whole record field by field through a second save.
    CSettingsStore s1(dir / "a"), s2(dir / "b");
    o.Save(s1, kSaveOptions);
    l.Save(s2, kSaveOptions);
    EXPECT_EQ(ReadText(s1.FilePath()), ReadText(s2.FilePath()));
}

// The options sheet's OK and --save write what they changed, not the whole record loaded
// earlier: a value that another program saved in the meantime stays.
TEST(ConvertOptions, SavingChangedNamesKeepsOthersValues) {
    CTestTempDir dir;
    CSettingsStore mine(dir.Path()), other(dir.Path());
    ASSERT_TRUE(mine.Load());
    CConvertOptions before("/data");
    before.Load(mine);
    other.SetDword(kKey, "MP3BitRate", 64);
    ASSERT_TRUE(other.Save());

    CConvertOptions after = before;
    after.SWFFrameRate = 30;
    after.GC[2] = 0.5f;
    after.Folder = "/music";
    const std::set<std::string> changed = CConvertOptions::ChangedNames(before, after);
    EXPECT_EQ(changed, (std::set<std::string>{"Folder", "GC", "SWFFrameRate"}));
    ASSERT_TRUE(after.SaveNames(mine, changed));

    CSettingsStore check(dir.Path());
    ASSERT_TRUE(check.Load());
    EXPECT_EQ(check.GetDword(kKey, "MP3BitRate"), 64u);
    EXPECT_EQ(check.GetDword(kKey, "SWFFrameRate"), 30u);
    EXPECT_EQ(check.GetString(kKey, "Folder"), "/music");
    EXPECT_FALSE(check.Get(kKey, "SWFBkgColor").has_value());  // unchanged: not written
    CConvertOptions loaded("/data");
    loaded.Load(check);
    EXPECT_EQ(loaded.GC, after.GC);
}

TEST(ConvertOptions, CorrectionsOnLoad) {
    CTestTempDir dir;
    CSettingsStore store(dir.Path());
    store.SetString(kKey, "ControlSWF", "/gone/c.swf");
    store.SetString(kKey, "ShellPlayerSWF", "/gone/s.swf");
    store.SetString(kKey, "JPEGFile", "/gone/p.jpg");
    store.SetDword(kKey, "MP3ChannelNum", 3);
    store.SetDword(kKey, "HtmlWebPlayer", 3);
    store.SetBinary(kKey, "GC", Floats({-0.5f, 0.5f, 1.5f, 1.0f}));
    store.SetBinary(kKey, "TBC", Floats({7.0f}));
    ASSERT_TRUE(store.Save());
    CConvertOptions o("/data");
    o.ControlSWF = o.ShellPlayerSWF = "changed";
    o.Load(store);
    EXPECT_EQ(o.ControlSWF, "/data/ControlSWF/square_gradient_3.swf");
    EXPECT_EQ(o.ShellPlayerSWF, "/data/ControlSWF/ShellPlayer/square_gradient_3.swf");
    EXPECT_EQ(o.JPEGFile, "");
    EXPECT_EQ(o.MP3ChannelNum, 2);
    EXPECT_EQ(o.HtmlWebPlayer, kWebPlayerNone);  // no such mode: the plain page
    EXPECT_EQ(o.GC, (std::array<float, 4>{0.0f, 0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(o.TBC, 5.0f);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    store.SetDword(kKey, "MP3ChannelNum", 0);
    store.SetBinary(kKey, "GC", Floats({nan, -0.0f, 1.0f, 0.0f}));
    store.SetBinary(kKey, "TBC", Floats({nan}));
    store.SetString(kKey, "JPEGFile", dir.Path().string());  // a folder counts as existing
    o.Load(store);
    EXPECT_EQ(o.MP3ChannelNum, 2);
    EXPECT_EQ(o.GC[0], 0.0f);
    EXPECT_EQ(o.GC[1], 0.0f);
    EXPECT_EQ(o.TBC, 0.0f);
    EXPECT_EQ(o.JPEGFile, dir.Path().string());
    store.SetDword(kKey, "MP3ChannelNum", 1);
    o.Load(store);
    EXPECT_EQ(o.MP3ChannelNum, 1);
}

// A store that holds no web player choice (none at all, one from before the choice existed, or
// one with an unreadable value) gets pages that play; a stored choice, 0 included, stays. The
// choice is then written out, so it survives a later change of the default.
TEST(ConvertOptions, WebPlayerDefaultsOnlyWhereTheStoreHoldsNone) {
    const struct {
        const char* what;
        const char* text;
        int expected;
    } cases[] = {
        {"no store file", nullptr, kWebPlayerFromUrl},
        {"older store", "[Software\\Tonvela\\Options]\nSWFFrameRate=dword:00000018\n", kWebPlayerFromUrl},
        {"stored 0", "[Software\\Tonvela\\Options]\nHtmlWebPlayer=dword:00000000\n", kWebPlayerNone},
        {"stored 2", "[Software\\Tonvela\\Options]\nHtmlWebPlayer=dword:00000002\n", kWebPlayerBesidePage},
        {"string value", "[Software\\Tonvela\\Options]\nHtmlWebPlayer=\"0\"\n", kWebPlayerFromUrl},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTestTempDir dir;
        CConvertOptions o("/data");
        if (c.text) {
            o = LoadFrom(dir, c.text);
        } else {
            CSettingsStore store(dir.Path());
            EXPECT_TRUE(store.Load());
            o.Load(store);
        }
        EXPECT_EQ(o.HtmlWebPlayer, c.expected);
        CSettingsStore saved(dir / "saved");
        o.Save(saved, kSaveOptions);
        CSettingsStore again(dir / "saved");
        ASSERT_TRUE(again.Load());
        EXPECT_EQ(again.GetDword(kKey, "HtmlWebPlayer"), std::optional<std::uint32_t>(c.expected));
    }
}

TEST(ConvertOptions, MissingAndMistypedValuesKeepTheirField) {
    CTestTempDir dir;
    CSettingsStore store(dir.Path());
    store.SetDword(kKey, "SWFFrameRate", 30);
    store.SetString(kKey, "MP3BitRate", "64");          // a string for a number
    store.SetDword(kKey, "Folder", 5);                  // a number for a string
    store.SetBinary(kKey, "GC", Floats({0.1f, 0.2f}));  // binary of the wrong size
    store.SetString(kKey, "TBC", "2");
    store.SetString(kKey, "SWFSpecifiedFolder", std::string(kMaxStoredString + 1, 'a'));
    store.SetString(kKey, "ControlSWF", std::string("/a\0b", 4));
    CConvertOptions o("/data");
    o.Folder = "/kept";
    o.SWFSpecifiedFolder = "/kept too";
    o.Load(store);
    EXPECT_EQ(o.SWFFrameRate, 30);
    EXPECT_EQ(o.MP3BitRate, 24);
    EXPECT_EQ(o.Folder, "/kept");
    EXPECT_EQ(o.GC, (std::array<float, 4>{0.4f, 1.0f, 0.3f, 0.8f}));
    EXPECT_EQ(o.TBC, 1.0f);
    EXPECT_EQ(o.SWFSpecifiedFolder, "/kept too");
    EXPECT_EQ(o.ControlSWF, "/data/ControlSWF/square_gradient_3.swf");
    EXPECT_EQ(o.VolumeCoef, 100);  // missing
}

TEST(ConvertOptions, SaveMasks) {
    CTestTempDir dir;
    CConvertOptions o("/data");
    o.Folder = "/picked";
    {
        CSettingsStore store(dir / "zero");
        EXPECT_EQ(o.Save(store, 0), 0);
        EXPECT_FALSE(std::filesystem::exists(store.FilePath()));
    }
    {
        CSettingsStore store(dir / "four");
        EXPECT_EQ(o.Save(store, kSaveFolder), 1);
        EXPECT_EQ(ReadText(store.FilePath()),
                  "; Tonvela settings\n\n[Software\\Tonvela\\Options]\nFolder=\"/picked\"\n");
    }
    {
        CSettingsStore store(dir / "eight");
        EXPECT_EQ(o.Save(store, kSaveOptions), 1);
        CSettingsStore again(dir / "eight");
        ASSERT_TRUE(again.Load());
        EXPECT_FALSE(again.Get(kKey, "Folder"));
        EXPECT_EQ(again.GetDword(kKey, "SWFFrameRate"), 12u);
        EXPECT_EQ(again.GetDword(kKey, "SWFBkgColor"), 0xFFFFFFu);
        EXPECT_EQ(again.GetString(kKey, "ControlSWF"), "/data/ControlSWF/square_gradient_3.swf");
        // GC as 16 bytes of little-endian floats: 0.4f is 0x3ecccccd, 1.0f 0x3f800000.
        EXPECT_EQ(again.GetBinary(kKey, "GC"),
                  (CSettingsStore::Binary{0xcd, 0xcc, 0xcc, 0x3e, 0x00, 0x00, 0x80, 0x3f, 0x9a, 0x99, 0x99,
                                          0x3e, 0xcd, 0xcc, 0x4c, 0x3f}));
        EXPECT_EQ(again.GetBinary(kKey, "TBC"), (CSettingsStore::Binary{0x00, 0x00, 0x80, 0x3f}));
        // Every persisted value but Folder: 37 names.
        int count = 0;
        for (const char* name : {"AutoDestMP3EncodingParam", "MP3BitRate", "MP3SampleRate", "MP3ChannelNum",
                                 "ChangeVolume", "VolumeCoef", "SkipFirstMs", "SkipLastMs", "ConvertDuration",
                                 "TrimLastType", "CreateCtrlSWF", "ButtonSWFType", "SWFSoundType", "ControlSWF",
                                 "ShellPlayerSWF", "SWFFrameRate", "SWFInitPlay", "SWFLoopPlay", "BlankFrames",
                                 "SWFBkgColor", "SWFBtnColor", "TrackSWFBkgTopColor", "TrackSWFBkgBottomColor",
                                 "TrackSWFBorderColor", "JPEGFile", "JPEGWidth", "JPEGHeight", "GC", "TBC",
                                 "SWFOutputFolderOpt", "SWFSpecifiedFolder", "CreateDirs", "TargetExistsOpt",
                                 "OutputFiles2MyDocuments", "BrowseOutFolder", "CreateHtmlFile", "AddFileNameOnHtml"})
            count += again.Get(kKey, name).has_value();
        EXPECT_EQ(count, 37);
    }
}

TEST(ConvertOptions, SaveToUnwritableStoreReturnsOneAndWritesNothing) {
    CTestTempDir dir;
    WriteText(dir / "file", "x");
    CSettingsStore store(dir / "file" / "cfg");
    CConvertOptions o("/data");
    bool saved = true;
    EXPECT_EQ(o.Save(store, kSaveOptions, &saved), 1);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadText(dir / "file"), "x");
    EXPECT_EQ(test::CountEntries(dir.Path()), 1);
}

TEST(ConvertOptions, MaskFourKeepsOtherStoredValues) {
    CTestTempDir dir;
    CSettingsStore store(dir.Path());
    store.SetDword(kKey, "FirstRun", 0);
    store.SetDword(kKey, "SWFFrameRate", 25);
    ASSERT_TRUE(store.Save());
    CSettingsStore loaded(dir.Path());
    ASSERT_TRUE(loaded.Load());
    CConvertOptions o("/data");
    o.Load(loaded);
    o.SWFFrameRate = 50;  // changed but not saved by mask 4
    o.Folder = "/f";
    o.Save(loaded, kSaveFolder);
    CSettingsStore again(dir.Path());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetDword(kKey, "SWFFrameRate"), 25u);
    EXPECT_EQ(again.GetDword(kKey, "FirstRun"), 0u);
    EXPECT_EQ(again.GetString(kKey, "Folder"), "/f");
}

}  // namespace
}  // namespace tonvela
