// The settings catalog of --list-settings: it names exactly what the store holds, its value texts
// are what --set takes back, and mistyped names find their setting.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "audio/TestUtil.h"
#include "convert/ConvertOptions.h"
#include "convert/OptionOverrides.h"
#include "convert/SettingsCatalog.h"
#include "platform/SettingsStore.h"

namespace tonvela {
namespace {

// What Save writes is the oracle: a field saved but missing from the catalog (or the other
// way round) fails here.
TEST(SettingsCatalog, NamesEveryStoredSettingOnce) {
    test::TempDir dir;
    CSettingsStore store(dir.Path());
    const CConvertOptions options(dir.Path());
    bool saved = false;
    options.Save(store, kSaveFolder | kSaveOptions, &saved);
    ASSERT_TRUE(saved);
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(store.FilePath().string());
    CSettingsStore::Keys keys;
    ASSERT_TRUE(CSettingsStore::Parse(std::string(bytes.begin(), bytes.end()), keys));
    std::set<std::string> stored;
    for (const auto& [name, value] : keys.at(kOptionsKey)) stored.insert(name);

    std::set<std::string> listed;
    for (const SettingInfo& s : kSettingsCatalog) EXPECT_TRUE(listed.insert(s.name).second) << s.name;
    EXPECT_EQ(listed, stored);
}

// Every value text goes back through --set unchanged, the defaults and changed values alike.
TEST(SettingsCatalog, ValueTextsAreWhatSetTakes) {
    CConvertOptions options(TONVELA_DATA_DIR);
    const struct {
        const char* name;
        const char* value;
    } changes[] = {{"SWFFrameRate", "24"},       {"SWFBkgColor", "0x336699"}, {"GC", "0.5,1,0,0.25"},
                   {"TBC", "2.5"},              {"JPEGFile", "/x/y z.jpg"}, {"SWFSoundType", "20"},
                   {"ConvertJobs", "3"}};
    for (const auto& c : changes) {
        std::string error;
        ASSERT_TRUE(SetOptionByName(options, c.name, c.value, error)) << c.name << ": " << error;
        ASSERT_NE(FindSetting(c.name), nullptr) << c.name;
        EXPECT_EQ(SettingValueText(options, *FindSetting(c.name)), c.value);
    }
    for (const SettingInfo& s : kSettingsCatalog) {
        CConvertOptions copy(TONVELA_DATA_DIR);
        std::string error;
        const std::string text = SettingValueText(options, s);
        EXPECT_TRUE(SetOptionByName(copy, s.name, text, error)) << s.name << "=" << text << ": " << error;
        EXPECT_EQ(SettingValueText(copy, s), text) << s.name;
    }
}

TEST(SettingsCatalog, ClosestNamesForMistypedOnes) {
    const struct {
        const char* typed;
        const char* first;  // "" when nothing is close
    } cases[] = {
        {"SWFSoundTyp", "SWFSoundType"}, {"swfframerate", "SWFFrameRate"}, {"JPEGWith", "JPEGWidth"},
        {"SkipFirstMS", "SkipFirstMs"},  {"BkgColor", "SWFBkgColor"},      {"Quality", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> close = ClosestSettingNames(c.typed);
        if (*c.first == '\0') {
            EXPECT_TRUE(close.empty()) << c.typed << " -> " << (close.empty() ? "" : close[0]);
        } else {
            ASSERT_FALSE(close.empty()) << c.typed;
            EXPECT_EQ(close[0], c.first) << c.typed;
            EXPECT_LE(close.size(), 3u);
        }
    }
}

}  // namespace
}  // namespace tonvela
