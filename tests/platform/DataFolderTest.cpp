#include "platform/DataFolder.h"

#include <gtest/gtest.h>

#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

TEST(DataFolder, EnvironmentThenExecutableFolderThenInstallFolder) {
    test::CTestTempDir dir;
    std::filesystem::create_directories(dir / "withdata" / "ControlSWF");
    std::filesystem::create_directories(dir / "bare");
    const std::string with = (dir / "withdata").string();
    EXPECT_EQ(DataFolderFrom("/env/data", dir / "withdata", "/usr/share/tonvela"), "/env/data/");
    EXPECT_EQ(DataFolderFrom("/env/data/", dir / "withdata", "/x"), "/env/data/");
    EXPECT_EQ(DataFolderFrom("", dir / "withdata", "/x"), with + "/");
    EXPECT_EQ(DataFolderFrom(nullptr, dir / "withdata", "/x"), with + "/");
    EXPECT_EQ(DataFolderFrom(nullptr, dir / "bare", "/usr/share/tonvela"), "/usr/share/tonvela/");
    EXPECT_EQ(DataFolderFrom(nullptr, "", "/usr/share/tonvela"), "/usr/share/tonvela/");
}

TEST(DataFolder, InstalledTreeFindsItsDataBesideBin) {
    test::CTestTempDir dir;
    std::filesystem::create_directories(dir / "prefix" / "bin");
    std::filesystem::create_directories(dir / "prefix" / "share" / "tonvela" / "ControlSWF");
    std::filesystem::create_directories(dir / "empty" / "bin");
    std::filesystem::create_directories(dir / "empty" / "share" / "tonvela");
    const std::string shared = (dir / "prefix" / "share" / "tonvela").string() + "/";
    EXPECT_EQ(DataFolderFrom(nullptr, dir / "prefix" / "bin", "/usr/local/share/tonvela"), shared);
    EXPECT_EQ(DataFolderFrom("/env", dir / "prefix" / "bin", "/x"), "/env/");
    // A share/tonvela without templates is not a data folder.
    EXPECT_EQ(DataFolderFrom(nullptr, dir / "empty" / "bin", "/x"), "/x/");
}

TEST(DataFolder, ExecutableFolderIsThisTestsFolder) {
    std::filesystem::path exe = ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(std::filesystem::exists(exe / "test_platform"));
}

}  // namespace
}  // namespace tonvela
