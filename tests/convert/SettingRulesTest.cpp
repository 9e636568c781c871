// The rules of the settings catalog, against values worked out by hand from the options pages'
// ranges, the MP3 standards' bit rates and the SWF header's 16-bit frame count: --set takes each
// setting's bounds and refuses one past them; a stored value one past is read as what the
// conversion makes of it; the MP3 sample rate and bit rate go together as the Sound page has
// always paired them; and a movie with no room for its sound is refused before the encoding.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "audio/TestUtil.h"
#include "convert/ConvertOptions.h"
#include "convert/FrameLimit.h"
#include "convert/OptionOverrides.h"
#include "convert/SettingsCatalog.h"
#include "platform/SettingsStore.h"

namespace tonvela {
namespace {

constexpr int kNone = INT_MIN;  // no value past this bound

struct Bounds {
    const char* name;
    int lowest, highest;    // taken by --set
    int below, above;       // refused by --set (kNone: nothing lies past the bound)
    int belowAs, aboveAs;   // what a stored below / above is read as
};

// clang-format off
constexpr Bounds kBounds[] = {
    {"AutoDestMP3EncodingParam", 0, 1, -1, 2, 0, 0},  // only 1 is "Auto" to the encoder
    {"MP3BitRate", 16, 320, 15, 321, 16, 160},        // 320 is then lowered to 22050 Hz's 160
    {"MP3SampleRate", 11025, 44100, 11024, 44101, 11025, 44100},
    {"MP3ChannelNum", 1, 2, 0, 3, 2, 2},
    {"ChangeVolume", 0, 1, -1, 2, 1, 1},
    {"VolumeCoef", 10, 3000, 9, 3001, 10, 3000},
    {"SkipFirstMs", 0, INT_MAX, -1, kNone, 0, 0},
    {"SkipLastMs", 0, INT_MAX, -1, kNone, 0, 0},
    {"ConvertDuration", 0, INT_MAX, -1, kNone, 0, 0},
    {"TrimLastType", 0, 1, -1, 2, 0, 0},
    {"CreateCtrlSWF", 0, 1, -1, 2, 1, 1},
    {"ButtonSWFType", 11, 22, 10, 23, 11, 11},
    {"SWFSoundType", 10, 20, 9, 21, 20, 20},          // the writer takes all but 10 for event sound
    {"SWFFrameRate", 1, 255, 0, 256, 1, 255},
    {"SWFInitPlay", 0, 1, -1, 2, 1, 1},
    {"SWFLoopPlay", 0, 1, -1, 2, 1, 1},
    {"BlankFrames", 0, 65533, -1, 65534, 0, 65533},   // first frame + blanks + one of sound <= 65535
    {"SWFBkgColor", 0, 0xFFFFFF, -1, 0x1000000, 0xFFFFFF, 0},
    {"SWFBtnColor", 0, 0xFFFFFF, -1, 0x1000000, 0xFFFFFF, 0},
    {"TrackSWFBkgTopColor", 0, 0xFFFFFF, -1, 0x1000000, 0xFFFFFF, 0},
    {"TrackSWFBkgBottomColor", 0, 0xFFFFFF, -1, 0x1000000, 0xFFFFFF, 0},
    {"TrackSWFBorderColor", 0, 0xFFFFFF, -1, 0x1000000, 0xFFFFFF, 0},
    {"JPEGWidth", 0, 32767, -1, 32768, 0, 32767},
    {"JPEGHeight", 0, 32767, -1, 32768, 0, 32767},
    {"SWFOutputFolderOpt", 199, 399, 198, 400, 199, 199},
    {"CreateDirs", 0, 1, -1, 2, 1, 1},
    {"TargetExistsOpt", 11, 33, 10, 34, 11, 11},
    {"OutputFiles2MyDocuments", 0, 1, -1, 2, 1, 1},
    {"BrowseOutFolder", 0, 1, -1, 2, 1, 1},
    {"CreateHtmlFile", 0, 1, -1, 2, 1, 1},
    {"AddFileNameOnHtml", 0, 1, -1, 2, 1, 1},
    {"HtmlWebPlayer", 0, 2, -1, 3, 0, 0},
    {"ConvertJobs", 1, 64, 0, 65, 1, 64},
};
// clang-format on

int Field(const CConvertOptions& o, const char* name) { return o.*FindSetting(name)->intField; }

// A record loaded from a store holding only name = value.
CConvertOptions LoadStored(const char* name, int value, std::vector<SettingCorrection>& corrections) {
    test::TempDir dir;
    CSettingsStore store(dir.Path());
    store.SetDword(kOptionsKey, name, static_cast<std::uint32_t>(value));
    CConvertOptions o(dir.Path());
    o.Load(store, &corrections);
    return o;
}

TEST(SettingRules, EveryNumberAtItsBoundsAndOnePast) {
    std::set<std::string> covered, numbers;
    for (const SettingInfo& s : kSettingsCatalog)
        if (s.intField) numbers.insert(s.name);
    for (const Bounds& b : kBounds) {
        SCOPED_TRACE(b.name);
        covered.insert(b.name);
        CConvertOptions o(TONVELA_DATA_DIR);
        std::string error;
        for (int v : {b.lowest, b.highest}) {
            EXPECT_TRUE(SetOptionByName(o, b.name, std::to_string(v), error)) << v << ": " << error;
            EXPECT_EQ(Field(o, b.name), v);
        }
        for (auto [past, readAs] : {std::pair{b.below, b.belowAs}, std::pair{b.above, b.aboveAs}}) {
            if (past == kNone) continue;
            const CConvertOptions before = o;
            EXPECT_FALSE(SetOptionByName(o, b.name, std::to_string(past), error)) << past;
            EXPECT_NE(error.find(b.name), std::string::npos) << error;
            EXPECT_NE(error.find(std::to_string(b.lowest)), std::string::npos) << error;  // the rule is named
            EXPECT_TRUE(o == before);

            std::vector<SettingCorrection> corrections;
            const CConvertOptions loaded = LoadStored(b.name, past, corrections);
            EXPECT_EQ(Field(loaded, b.name), readAs) << "stored " << past;
            ASSERT_FALSE(corrections.empty()) << "stored " << past;
            EXPECT_EQ(corrections[0].name, b.name);
            EXPECT_EQ(corrections[0].stored, SettingValueText([&] {
                                                  CConvertOptions raw(TONVELA_DATA_DIR);
                                                  raw.*FindSetting(b.name)->intField = past;
                                                  return raw;
                                              }(), *FindSetting(b.name)));
        }
        // A value within the rules is read as stored, and no correction is named.
        std::vector<SettingCorrection> corrections;
        EXPECT_EQ(Field(LoadStored(b.name, b.lowest, corrections), b.name), b.lowest);
        EXPECT_TRUE(corrections.empty());
    }
    EXPECT_EQ(covered, numbers);  // a new setting needs its row here
}

TEST(SettingRules, Mp3SampleRateBitRateTable) {
    // Per sample rate, the bit rates offered (MPEG-2.5, MPEG-2 and MPEG-1 layer III).
    const int rates[] = {16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
    const struct {
        int sampleRate, lowest, highest;
        const char* offered;
    } table[] = {{11025, 16, 64, "16, 24, 32, 40, 48, 56, 64"},
                 {22050, 16, 160, "16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160"},
                 {44100, 32, 320, "32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320"}};
    for (const auto& t : table) {
        for (int kbps : rates) {
            SCOPED_TRACE(std::to_string(t.sampleRate) + " Hz, " + std::to_string(kbps) + " kbit/s");
            CConvertOptions o(TONVELA_DATA_DIR);
            std::string error;
            // Given in either order, the pair is judged once both are set.
            ASSERT_TRUE(SetOptionByName(o, "MP3BitRate", std::to_string(kbps), error)) << error;
            ASSERT_TRUE(SetOptionByName(o, "MP3SampleRate", std::to_string(t.sampleRate), error)) << error;
            const bool allowed = kbps >= t.lowest && kbps <= t.highest;
            EXPECT_EQ(CheckSettingRules(o, error), allowed);
            if (!allowed) {
                EXPECT_NE(error.find(t.offered), std::string::npos) << error;
            }

            // Stored, a refused pair keeps its rate and gets the nearest bit rate offered there.
            test::TempDir dir;
            CSettingsStore store(dir.Path());
            store.SetDword(kOptionsKey, "MP3SampleRate", static_cast<std::uint32_t>(t.sampleRate));
            store.SetDword(kOptionsKey, "MP3BitRate", static_cast<std::uint32_t>(kbps));
            CConvertOptions loaded(dir.Path());
            std::vector<SettingCorrection> corrections;
            loaded.Load(store, &corrections);
            EXPECT_EQ(loaded.MP3SampleRate, t.sampleRate);
            EXPECT_EQ(loaded.MP3BitRate, allowed ? kbps : (kbps < t.lowest ? t.lowest : t.highest));
            EXPECT_EQ(corrections.size(), allowed ? 0u : 1u);
        }
    }
    for (int channels : {1, 2}) {
        CConvertOptions o(TONVELA_DATA_DIR);
        std::string error;
        EXPECT_TRUE(SetOptionByName(o, "MP3ChannelNum", std::to_string(channels), error)) << error;
    }

    // What the Sound page does when one of the pair changes, from its table of old.
    const struct {
        int sampleRate, newBitRate, wantSampleRate;
    } bitRateChanges[] = {{11025, 64, 11025},  {11025, 65, 22050},  {11025, 160, 22050}, {11025, 192, 44100},
                          {22050, 160, 22050}, {22050, 192, 44100}, {44100, 24, 22050},  {44100, 32, 44100}};
    for (const auto& c : bitRateChanges)
        EXPECT_EQ(Mp3SampleRateFor(c.sampleRate, c.newBitRate), c.wantSampleRate) << c.sampleRate << " " << c.newBitRate;
    const struct {
        int newSampleRate, bitRate, wantBitRate;
    } sampleRateChanges[] = {{11025, 128, 64}, {11025, 48, 48}, {22050, 320, 160}, {44100, 16, 32}, {44100, 320, 320}};
    for (const auto& c : sampleRateChanges)
        EXPECT_EQ(Mp3BitRateFor(c.newSampleRate, c.bitRate), c.wantBitRate) << c.newSampleRate << " " << c.bitRate;
}

// A streaming movie is its first frame, the blank frames, a frame per 1/fps s of sound and (with
// the template's actions) a last one; at most 65535. Event sound has no blank frames.
TEST(SettingRules, BlankFramesThatLeaveNoRoomForTheSound) {
    const struct {
        int blankFrames, createCtrl, buttonType, soundType;
        double seconds;  // at 22050 Hz, 12 frames per second
        bool fits;
    } cases[] = {
        {0, 1, kButtonSingleSwf, kSoundStreaming, 600, true},
        {65533, 1, kButtonShellPlayer, kSoundStreaming, 0.01, true},    // 1 + 65533 + 1
        {65533, 1, kButtonSingleSwf, kSoundStreaming, 0.01, false},     // and the end action's frame
        {65532, 1, kButtonSingleSwf, kSoundStreaming, 0.01, true},
        {60000, 0, kButtonSingleSwf, kSoundStreaming, 600, false},      // 7200 frames of sound
        {58000, 0, kButtonSingleSwf, kSoundStreaming, 600, true},
        {65533, 0, kButtonSingleSwf, kSoundEvent, 600, true},
    };
    for (const auto& c : cases) {
        CConvertOptions o(TONVELA_DATA_DIR);
        o.BlankFrames = c.blankFrames;
        o.CreateCtrlSWF = c.createCtrl;
        o.ButtonSWFType = c.buttonType;
        o.SWFSoundType = c.soundType;
        const auto samples = static_cast<std::uint64_t>(c.seconds * 22050);
        const std::string why = FrameLimitBreak(o, samples, 22050, static_cast<std::uint32_t>(c.seconds));
        EXPECT_EQ(why.empty(), c.fits) << c.blankFrames << " blank, " << c.seconds << " s: " << why;
        if (!c.fits) {
            EXPECT_NE(why.find("BlankFrames"), std::string::npos) << why;
        }
    }
}

}  // namespace
}  // namespace tonvela
