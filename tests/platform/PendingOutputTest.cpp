#include "platform/PendingOutput.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CountEntries;
using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

// Each case with an unnamed new file (where supported) and with a named one.
class PendingOutputBoth : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(Unnamed, PendingOutputBoth, ::testing::Values(true, false));

TEST_P(PendingOutputBoth, CommitReplacesTheTargetOnlyThen) {
    CTestTempDir dir;
    const std::string target = (dir / "song.swf").string();
    WriteText(target, "old");
    CPendingOutput out;
    ASSERT_TRUE(out.Create(target, GetParam()));
    // On the target's file system, so the final move is a rename.
    struct stat tempStat {}, dirStat {};
    ASSERT_EQ(::stat(out.TempPath().c_str(), &tempStat), 0);
    ASSERT_EQ(::stat(dir.Path().c_str(), &dirStat), 0);
    EXPECT_EQ(tempStat.st_dev, dirStat.st_dev);
    WriteText(out.TempPath(), "new");
    EXPECT_EQ(ReadText(target), "old");
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadText(target), "new");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
    EXPECT_FALSE(out.IsPending());
}

TEST_P(PendingOutputBoth, DestructionWithoutCommitLeavesNothing) {
    CTestTempDir dir;
    const std::string target = (dir / "song.swf").string();
    WriteText(target, "old");
    {
        CPendingOutput out;
        ASSERT_TRUE(out.Create(target, GetParam()));
        WriteText(out.TempPath(), "half");
        EXPECT_EQ(CountEntries(dir.Path()), GetParam() ? 1 : 2);  // unnamed: invisible until Commit
    }
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
}

TEST_P(PendingOutputBoth, FailedCommitKeepsTheOldTarget) {
    CTestTempDir dir;
    // A folder in the target's place: the rename fails, the folder and its content stay.
    std::filesystem::create_directories(dir / "song.swf");
    WriteText(dir / "song.swf" / "inside", "x");
    CPendingOutput out;
    ASSERT_TRUE(out.Create((dir / "song.swf").string(), GetParam()));
    EXPECT_FALSE(out.Commit());
    EXPECT_EQ(ReadText(dir / "song.swf" / "inside"), "x");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
}

TEST_P(PendingOutputBoth, NamesAreUniqueAndPermissionsOrdinary) {
    CTestTempDir dir;
    const std::string target = (dir / "a.swf").string();
    CPendingOutput a, b;
    ASSERT_TRUE(a.Create(target, GetParam()));
    ASSERT_TRUE(b.Create(target, GetParam()));
    EXPECT_NE(a.TempPath(), b.TempPath());
    struct stat st {};
    ASSERT_EQ(::stat(a.TempPath().c_str(), &st), 0);
    mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    // A very long target name still gets a temporary name the file system accepts.
    CPendingOutput c;
    EXPECT_TRUE(c.Create((dir / (std::string(250, 'n') + ".swf")).string(), GetParam()));
    EXPECT_TRUE(c.Commit());
    // Two-byte characters from the start: the shortened temporary name stays valid UTF-8.
    CPendingOutput d;
    std::string wide;
    for (int i = 0; i < 100; ++i) wide += "\xc3\xa9";
    ASSERT_TRUE(d.Create((dir / ("x" + wide + ".swf")).string(), false));
    const std::string tempName = std::filesystem::path(d.TempPath()).filename().string();
    EXPECT_EQ(tempName.find("x" + wide.substr(0, 62) + "."), 1u) << tempName;
}

// Writers that replace files atomically themselves work on a pending output too.
TEST_P(PendingOutputBoth, AtomicWriterFillsThePendingFile) {
    CTestTempDir dir;
    const std::string target = (dir / "p.swf").string();
    CPendingOutput out;
    ASSERT_TRUE(out.Create(target, GetParam()));
    ASSERT_TRUE(WriteFileAtomically(out.TempPath(), "player"));
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadText(target), "player");
    EXPECT_EQ(CountEntries(dir.Path()), 1);
}

TEST_P(PendingOutputBoth, ReplacementKeepsThePermissions) {
    CTestTempDir dir;
    const std::string target = (dir / "p.swf").string();
    WriteText(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    CPendingOutput out;
    ASSERT_TRUE(out.Create(target, GetParam()));
    ASSERT_TRUE(out.Commit());
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(PendingOutput, CanCreateFileAt) {
    CTestTempDir dir;
    EXPECT_TRUE(CanCreateFileAt((dir / "x.swf").string()));
    EXPECT_EQ(CountEntries(dir.Path()), 0);
    EXPECT_FALSE(CanCreateFileAt((dir / "missing" / "x.swf").string()));
    EXPECT_FALSE(CanCreateFileAt("/proc/self/x.swf"));
    EXPECT_FALSE(CanCreateFileAt(dir.Path().string()));  // a folder
}

}  // namespace
}  // namespace tonvela
