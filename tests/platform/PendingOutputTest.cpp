#include "platform/PendingOutput.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <future>
#include <fstream>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/OwnerLock.h"
#include "platform/TestTempDir.h"
#include "platform/UniqueFd.h"

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

namespace tonvela {
namespace {

// A pair whose second file cannot be put in place (a folder holds its name) leaves both old
// files as they were; with no old first file, none is left behind.
TEST(CommitTogether, FailedSecondPutsTheFirstBack) {
    for (const bool oldFirst : {true, false}) {
        SCOPED_TRACE(oldFirst);
        test::CTestTempDir dir;
        const std::string player = (dir / "x.player.swf").string(), sound = (dir / "x.swf").string();
        if (oldFirst) test::WriteText(player, "old player");
        std::filesystem::create_directory(sound);
        test::WriteText(dir / "x.swf" / "inside", "keeps the folder non-empty");
        CPendingOutput first, second;
        ASSERT_TRUE(first.Create(player));
        ASSERT_TRUE(second.Create(sound));
        test::WriteText(first.TempPath(), "new player");
        test::WriteText(second.TempPath(), "new sound");
        EXPECT_FALSE(CommitTogether(first, second));
        if (oldFirst)
            EXPECT_EQ(test::ReadText(player), "old player");
        else
            EXPECT_FALSE(std::filesystem::exists(player));
        EXPECT_EQ(test::CountEntries(dir.Path()), oldFirst ? 2 : 1);  // no temporary or kept file
    }
}

// An old pair that another program holds locked (exclusively) is replaced without waiting.
TEST(CommitTogether, OldFileLockedByAnotherProgramDoesNotBlock) {
    test::CTestTempDir dir;
    const std::string player = (dir / "x.player.swf").string(), sound = (dir / "x.swf").string();
    test::WriteText(player, "old player");
    const CUniqueFd other(::open(player.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(other.Get(), LOCK_EX), 0);
    CPendingOutput first, second;
    ASSERT_TRUE(first.Create(player));
    ASSERT_TRUE(second.Create(sound));
    test::WriteText(first.TempPath(), "new player");
    test::WriteText(second.TempPath(), "new sound");
    auto done = std::async(std::launch::async, [&] { return CommitTogether(first, second); });
    const bool finished = done.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    ::flock(other.Get(), LOCK_UN);  // lets a waiting commit finish either way
    EXPECT_TRUE(finished);
    EXPECT_TRUE(done.get());
    EXPECT_EQ(test::ReadText(player), "new player");
    EXPECT_EQ(test::ReadText(sound), "new sound");
}

// Leftovers are removed when nobody holds their owner lock, however fresh and whatever process
// id their name carries (ids are reused: init's is always live); a held file, this process's own
// files and names not of ours stay.
TEST(RemoveStaleParts, OnlyThoseNobodyHolds) {
    test::CTestTempDir dir;
    long pidMax = 4194304;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    const std::string dead = std::to_string(pidMax + 1);  // never a live process
    const std::string self = std::to_string(::getpid());
    const struct {
        std::string name;
        bool old;
        bool held;
        bool removed;
    } cases[] = {
        {".a.swf." + dead + "-0-0123abcd.part", true, false, true},
        {".a.swf." + dead + "-1-0123abcd.part", false, false, true},
        {".a.swf.1-2-0123abcd.part", false, false, true},
        {".a.swf." + dead + "-3-0123abcd.part", true, true, false},
        {".a.swf." + self + "-0-0123abcd.part", true, false, false},
        {".a.swf." + dead + "-0-0123abcX.part", true, false, false},
        {"a.swf." + dead + "-0-0123abcd.part", true, false, false},
        {".a.swf." + dead + "-0-0123abcd.partx", true, false, false},
    };
    std::vector<CUniqueFd> holders;
    for (const auto& c : cases) {
        test::WriteText(dir / c.name, "x");
        if (c.old) {
            const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (dir / c.name).c_str(), times, 0), 0);
        }
        if (c.held) {
            holders.emplace_back(::open((dir / c.name).c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_TRUE(HoldOwnerLock(holders.back().Get()));
        }
    }
    CPendingOutput out;  // a named temporary file sweeps its folder
    ASSERT_TRUE(out.Create((dir / "b.swf").string(), false));
    out.Discard();
    for (const auto& c : cases) EXPECT_EQ(!std::filesystem::exists(dir / c.name), c.removed) << c.name;
}

}  // namespace
}  // namespace tonvela
