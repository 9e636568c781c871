// The window's parallel conversions: ConvertJobs is stored like the other options and a stored
// value outside 1 .. kMaxConvertJobs is brought into that range.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>

#include "convert/ConvertOptions.h"
#include "platform/SettingsStore.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

struct JobsCase {
    const char* stored;  // the line's value text, or null for no line
    int expected;
};

class ConvertJobsTest : public ::testing::TestWithParam<JobsCase> {};

TEST_P(ConvertJobsTest, LoadsIntoRange) {
    test::CTestTempDir dir;
    {
        std::ofstream f(dir / CSettingsStore::kFileName);
        f << "[Software\\Tonvela\\Options]\nSWFFrameRate=dword:0000000c\n";
        if (GetParam().stored) f << "ConvertJobs=" << GetParam().stored << "\n";
    }
    CSettingsStore store(dir.Path());
    ASSERT_TRUE(store.Load());
    CConvertOptions o("/data");
    o.Load(store);
    EXPECT_EQ(o.ConvertJobs, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(StoredValues, ConvertJobsTest,
                         ::testing::Values(JobsCase{nullptr, 1}, JobsCase{"dword:00000004", 4},
                                           JobsCase{"dword:00000000", 1}, JobsCase{"dword:ffffffff", 1},
                                           JobsCase{"dword:000003e8", kMaxConvertJobs},
                                           JobsCase{"\"4\"", 1}));

TEST(ConvertJobs, SavedWithTheOptionsNotWithTheFolder) {
    test::CTestTempDir dir;
    CConvertOptions o("/data");
    o.ConvertJobs = 3;
    CSettingsStore store(dir / "cfg");
    o.Save(store, kSaveFolder);
    CSettingsStore folderOnly(dir / "cfg");
    ASSERT_TRUE(folderOnly.Load());
    EXPECT_EQ(folderOnly.GetDword(kOptionsKey, "ConvertJobs"), std::nullopt);
    o.Save(store, kSaveOptions);
    CSettingsStore again(dir / "cfg");
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetDword(kOptionsKey, "ConvertJobs"), 3u);
}

}  // namespace
}  // namespace tonvela
