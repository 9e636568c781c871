#include "convert/OutputNames.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "platform/NameClaim.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CountEntries;
using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

class OutputNamesTest : public ::testing::Test {
protected:
    OutputNamesTest() : settings("/data") {
        context.documentsFolder = [this] {
            ++documentsAsked;
            return documents;
        };
        std::filesystem::create_directories(dir / "a");
        documents = (dir / "docs").string();
        std::filesystem::create_directories(documents);
    }

    // Names for the source; the error text lands in error.
    bool Make(const std::string& source) {
        entry = CFileListEntry{};
        entry.path = source;
        return MakeOutputNames(entry, settings, error, context);
    }
    std::string P(const std::string& rel) const { return (dir / rel).string(); }
    // Gives up the names the last Make claimed, as a failed entry does.
    void Release() { ReleaseOutputClaims(entry, settings); }

    CTestTempDir dir;
    CConvertOptions settings;
    OutputNameContext context;
    CFileListEntry entry;
    std::string error;
    std::string documents;
    int documentsAsked = 0;
};

TEST_F(OutputNamesTest, SameFolderAsSource) {
    ASSERT_TRUE(Make(P("a/b.wav")));
    EXPECT_EQ(entry.swfPath, P("a/b.swf"));
    EXPECT_EQ(entry.htmlPath, P("a/b.htm"));
    EXPECT_EQ(entry.playerSwfPath, "");
    // The names are claimed by empty files, which a failed entry removes again.
    EXPECT_EQ(CountEntries(dir / "a"), 2);
    EXPECT_EQ(ReadText(dir / "a/b.htm"), "");
    Release();
    EXPECT_EQ(CountEntries(dir / "a"), 0);

    settings.ButtonSWFType = kButtonShellPlayer;
    ASSERT_TRUE(Make(P("a/b.wav")));
    EXPECT_EQ(entry.playerSwfPath, P("a/b.player.swf"));
    Release();
    settings.CreateCtrlSWF = 0;
    settings.CreateHtmlFile = 0;
    ASSERT_TRUE(Make(P("a/b.wav")));
    EXPECT_EQ(entry.htmlPath, "");
    EXPECT_EQ(entry.playerSwfPath, "");

    // Only the file name's last extension goes; a dot in a folder name is no extension.
    ASSERT_TRUE(Make(P("a/song.live.mp3")));
    EXPECT_EQ(entry.swfPath, P("a/song.live.swf"));
    std::filesystem::create_directories(dir / "a.b");
    ASSERT_TRUE(Make(P("a.b/noext")));
    EXPECT_EQ(entry.swfPath, P("a.b/noext.swf"));
}

// A clash of any file the entry writes moves all its names on; existing files stay untouched.
TEST_F(OutputNamesTest, ExistingOutputOfAnyKindRenames) {
    settings.ButtonSWFType = kButtonShellPlayer;
    WriteText(dir / "a/b.swf", "old");
    WriteText(dir / "a/b_2.htm", "by hand");
    WriteText(dir / "a/b_3.player.swf", "old player");
    ASSERT_TRUE(Make(P("a/b.wav")));
    EXPECT_EQ(entry.swfPath, P("a/b_1.swf"));
    Release();
    std::filesystem::create_directories(dir / "a/b_1.swf");  // a folder of that name counts too
    ASSERT_TRUE(Make(P("a/b.wav")));
    EXPECT_EQ(entry.swfPath, P("a/b_4.swf"));
    EXPECT_EQ(entry.htmlPath, P("a/b_4.htm"));
    EXPECT_EQ(entry.playerSwfPath, P("a/b_4.player.swf"));
    EXPECT_EQ(ReadText(dir / "a/b.swf"), "old");
    EXPECT_EQ(ReadText(dir / "a/b_2.htm"), "by hand");

    // With "Skip" a page of that name is a clash too.
    settings.TargetExistsOpt = kTargetSkip;
    WriteText(dir / "a/c.htm", "by hand");
    EXPECT_FALSE(Make(P("a/c.wav")));
    EXPECT_EQ(error, kTargetSkipped);
    EXPECT_FALSE(std::filesystem::exists(dir / "a/c.swf"));
}

// A name longer than the file system allows is found before any work, in every mode, and the
// message says so; a numbered name shortens the stem to fit (never the number or extension, nor
// a character in two).
TEST_F(OutputNamesTest, OverlongNameFailsWithItsCauseAndNumberedNamesShortenTheStem) {
    settings.OutputFiles2MyDocuments = 0;
    const std::string stem(252, 'n');  // "<stem>.au" fits, "<stem>.swf" does not
    for (const int mode : {kTargetRename, kTargetOverwrite, kTargetSkip}) {
        settings.TargetExistsOpt = mode;
        EXPECT_FALSE(Make(P("a/" + stem + ".au")));
        EXPECT_EQ(error, "Failed to create file \"" + P("a/" + stem + ".swf") +
                             "\": the name is 256 bytes long, more than the 255 bytes a file name may have there");
    }
    settings.TargetExistsOpt = kTargetRename;
    std::string accents;
    for (int i = 0; i < 125; ++i) accents += "\xc3\xa9";  // 125 x "é": 250 bytes
    // "<stem>.swf" fits and exists; "<stem>_1.swf" would be 257 (256) bytes.
    for (const auto& [fits, numbered] : {std::pair{std::string(251, 'n'), std::string(249, 'n')},
                                         std::pair{accents, accents.substr(0, 248)}}) {
        WriteText(dir / ("a/" + fits + ".swf"), "old");
        ASSERT_TRUE(Make(P("a/" + fits + ".wav"))) << error;
        EXPECT_EQ(entry.swfPath, P("a/" + numbered + "_1.swf"));
        EXPECT_EQ(entry.htmlPath, P("a/" + numbered + "_1.htm"));
    }
}

TEST_F(OutputNamesTest, OverwriteKeepsTheOldFileUntilReplaced) {
    settings.TargetExistsOpt = kTargetOverwrite;
    WriteText(dir / "a/b.swf", "old movie");
    ASSERT_TRUE(Make(P("a/b.wav")));
    EXPECT_EQ(entry.swfPath, P("a/b.swf"));
    EXPECT_EQ(ReadText(dir / "a/b.swf"), "old movie");
    EXPECT_EQ(CountEntries(dir / "a"), 1);

    // A folder in the target's place cannot be replaced by a file.
    std::filesystem::create_directories(dir / "a/c.swf");
    settings.OutputFiles2MyDocuments = 0;
    EXPECT_FALSE(Make(P("a/c.wav")));
    EXPECT_EQ(error, "Failed to create file \"" + P("a/c.swf") + "\"");
}

TEST_F(OutputNamesTest, OverwriteRefusesTheSourceItselfWithoutFallback) {
    settings.TargetExistsOpt = kTargetOverwrite;
    WriteText(dir / "a/x.swf", "source");
    EXPECT_FALSE(Make(P("a/x.swf")));
    EXPECT_EQ(error, kTargetIsSource);
    EXPECT_EQ(entry.swfPath, "");
    EXPECT_EQ(documentsAsked, 0);
    // The same file reached by another spelling of its path.
    EXPECT_FALSE(Make(P("a/../a/./x.swf")));
    EXPECT_EQ(error, kTargetIsSource);
    EXPECT_EQ(ReadText(dir / "a/x.swf"), "source");
}

TEST_F(OutputNamesTest, SkipWithoutFallback) {
    settings.TargetExistsOpt = kTargetSkip;
    WriteText(dir / "a/b.swf", "old");
    EXPECT_FALSE(Make(P("a/b.wav")));
    EXPECT_EQ(error, "Target exists and skipped");
    EXPECT_EQ(documentsAsked, 0);
    EXPECT_TRUE(Make(P("a/c.wav")));
}

TEST_F(OutputNamesTest, FolderPerSwf) {
    settings.SWFOutputFolderOpt = kOutputFolderPerSwf;
    ASSERT_TRUE(Make(P("a/song.mp3")));
    EXPECT_EQ(entry.swfPath, P("a/song/song.swf"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/song"));

    // Without an extension the folder would take the file's own name: fails, then falls back
    // to the documents folder (without the source's folders: the user's mode was not 399).
    WriteText(dir / "a/noext", "x");
    ASSERT_TRUE(Make(P("a/noext")));
    EXPECT_EQ(entry.swfPath, documents + "/noext.swf");
    settings.OutputFiles2MyDocuments = 0;
    EXPECT_FALSE(Make(P("a/noext")));
    EXPECT_EQ(error, "Failed to create folder \"" + P("a/noext") + "\"");
}

TEST_F(OutputNamesTest, CustomFolder) {
    settings.SWFOutputFolderOpt = kOutputCustomFolder;
    settings.SWFSpecifiedFolder = P("out/");
    std::filesystem::create_directories(dir / "a/pop");
    ASSERT_TRUE(Make(P("a/pop/1.mp3")));
    EXPECT_EQ(entry.swfPath, P("out/1.swf"));

    settings.SWFSpecifiedFolder = P("out");
    settings.CreateDirs = 1;
    const std::string below = P("a/pop").substr(1);  // the source folder without its leading "/"
    ASSERT_TRUE(Make(P("a/pop/1.mp3")));
    EXPECT_EQ(entry.swfPath, P("out/") + below + "/1.swf");
    EXPECT_TRUE(std::filesystem::is_directory(P("out/") + below));
    Release();
    // Doubled slashes and ".." in the source are resolved: nothing lands outside the folder.
    ASSERT_TRUE(Make(P("a//x/../pop/1.mp3")));
    EXPECT_EQ(entry.swfPath, P("out/") + below + "/1.swf");

    // Empty custom folder: documents folder with the source's folders, or the folder message.
    settings.SWFSpecifiedFolder = "";
    ASSERT_TRUE(Make(P("a/pop/1.mp3")));
    EXPECT_EQ(entry.swfPath, documents + "/" + below + "/1.swf");
    settings.OutputFiles2MyDocuments = 0;
    EXPECT_FALSE(Make(P("a/pop/1.mp3")));
    EXPECT_EQ(error, "Failed to create folder \"\"");
}

// /proc refuses new files even to root, so this runs under any user.
TEST_F(OutputNamesTest, UnwritableFolderFallsBackOnce) {
    ASSERT_TRUE(Make("/proc/self/x.wav"));
    EXPECT_EQ(entry.swfPath, documents + "/x.swf");
    EXPECT_EQ(documentsAsked, 1);

    documents = "/proc/self";  // the documents folder fails too: its error is returned
    EXPECT_FALSE(Make("/proc/self/x.wav"));
    EXPECT_EQ(error, "Failed to create file \"/proc/self/x.swf\"");
    documents = "";  // no documents folder at all: the first error stays
    EXPECT_FALSE(Make("/proc/self/x.wav"));
    EXPECT_EQ(error, "Failed to create file \"/proc/self/x.swf\"");
    EXPECT_EQ(entry.swfPath, "");
}

TEST(EnsureFolder, CreatesParentsAndRefusesFiles) {
    CTestTempDir dir;
    EXPECT_TRUE(EnsureFolder((dir / "x/y/z").string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "x/y/z"));
    EXPECT_TRUE(EnsureFolder((dir / "x/y/").string()));
    WriteText(dir / "f", "x");
    EXPECT_FALSE(EnsureFolder((dir / "f").string()));
    EXPECT_FALSE(EnsureFolder((dir / "f/sub").string()));
    EXPECT_FALSE(EnsureFolder(""));
}

// Entries converting at once never pick the same name.
TEST_F(OutputNamesTest, ParallelEntriesPickDistinctNames) {
    COutputReservations reservations;
    context.reservations = &reservations;
    settings.SWFOutputFolderOpt = kOutputCustomFolder;
    settings.SWFSpecifiedFolder = P("out");
    WriteText(dir / "a/song.mp3", "");
    const int n = 8;
    std::vector<std::string> names(n);
    std::vector<CFileListEntry> entries(n);
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back([&, i] {
            CFileListEntry& e = entries[static_cast<std::size_t>(i)];
            e.path = P("a/song.mp3");
            std::string err;
            if (MakeOutputNames(e, settings, err, context)) names[static_cast<std::size_t>(i)] = e.swfPath;
        });
    for (auto& t : threads) t.join();
    std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(distinct.count(""), 0u);
    EXPECT_EQ(distinct.count(P("out/song.swf")), 1u);
    EXPECT_EQ(distinct.count(P("out/song_7.swf")), 1u);

    // Released names are free again; skip treats a reserved name as taken.
    for (const auto& name : names) reservations.Release(name);
    for (const auto& e : entries) ReleaseOutputClaims(e, settings);
    ASSERT_TRUE(Make(P("a/song.mp3")));
    EXPECT_EQ(entry.swfPath, P("out/song.swf"));
    settings.TargetExistsOpt = kTargetSkip;
    EXPECT_FALSE(Make(P("a/song.mp3")));
    EXPECT_EQ(error, kTargetSkipped);
    reservations.Release(P("out/song.swf"));
}

// What a run killed with SIGKILL leaves is no clash for the next run: its empty claims are taken
// over (and dropped where the name set moves on), and its hidden ".part" files are swept once
// their process is gone. A person's empty file and a live run's claim still count as taken.
TEST_F(OutputNamesTest, LeftoversOfAKilledRunAreNoClash) {
    long pidMax = 4194304;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    const std::string deadPart = ".x.player.swf." + std::to_string(pidMax + 1) + "-0-0123abcd.part";
    const std::string heldPart = ".x.player.swf." + std::to_string(pidMax + 2) + "-0-0123abcd.part";
    for (const int policy : {kTargetRename, kTargetSkip}) {
        SCOPED_TRACE(policy);
        CTestTempDir d;
        std::filesystem::create_directories(d / "a");
        auto p = [&](const std::string& rel) { return (d / rel).string(); };
        settings.TargetExistsOpt = policy;
        settings.ButtonSWFType = kButtonShellPlayer;
        // A run that claims b's names, writes c's movie but not its page, and is killed.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CNameClaims held;
            context.claims = &held;
            CFileListEntry e;
            e.path = p("a/b.wav");
            MakeOutputNames(e, settings, error, context);
            e.path = p("a/c.wav");
            MakeOutputNames(e, settings, error, context);
            WriteText(d / "a/c.swf.new", "movie");
            std::filesystem::rename(d / "a/c.swf.new", d / "a/c.swf");
            ::kill(::getpid(), SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_EQ(ReadText(d / "a/b.swf"), "");
        ASSERT_EQ(ReadText(d / "a/c.htm"), "");
        WriteText(d / "a/u.swf", "");  // made by a person
        WriteText(d / "a" / deadPart, "old player");
        WriteText(d / "a" / heldPart, "old player");
        const int fd = ::open((d / "a" / heldPart).c_str(), O_RDONLY);
        ASSERT_EQ(::flock(fd, LOCK_SH), 0);

        CNameClaims mine, live;
        CFileListEntry e;
        e.path = p("a/l.wav");
        context.claims = &live;
        ASSERT_TRUE(MakeOutputNames(e, settings, error, context));
        context.claims = &mine;
        EXPECT_TRUE(Make(p("a/b.wav")));
        EXPECT_EQ(entry.swfPath, p("a/b.swf"));
        EXPECT_EQ(entry.playerSwfPath, p("a/b.player.swf"));
        mine.ReleaseAll();
        EXPECT_FALSE(std::filesystem::exists(d / "a/b.swf"));
        EXPECT_FALSE(std::filesystem::exists(d / "a" / deadPart));
        EXPECT_TRUE(std::filesystem::exists(d / "a" / heldPart));

        const bool rename = policy == kTargetRename;
        for (const char* stem : {"c", "u", "l"}) {
            SCOPED_TRACE(stem);
            EXPECT_EQ(Make(p("a/") + stem + ".wav"), rename);
            EXPECT_EQ(entry.swfPath, rename ? p("a/") + stem + "_1.swf" : "");
            mine.ReleaseAll();
        }
        EXPECT_EQ(ReadText(d / "a/c.swf"), "movie");
        EXPECT_FALSE(std::filesystem::exists(d / "a/c.htm"));  // the killed run's empty page claim
        EXPECT_TRUE(std::filesystem::exists(d / "a/u.swf"));
        EXPECT_TRUE(std::filesystem::exists(d / "a/l.swf"));
        ::close(fd);
        context.claims = nullptr;
    }
}

// "Overwrite" replaces files from before the batch, not the batch's own: a later entry with
// the name of one already written is numbered (and says so); an old file under the numbered
// name is replaced, so a second run of the batch gives the same names.
TEST_F(OutputNamesTest, OverwriteNumbersANameTheBatchWrote) {
    COutputReservations batch;
    context.reservations = &batch;
    settings.TargetExistsOpt = kTargetOverwrite;
    WriteText(dir / "a/b_1.swf", "from an earlier run");
    const struct {
        const char* source;
        bool written;
        const char* swf;
        const char* clash;
    } steps[] = {
        {"a/b.wav", true, "a/b.swf", ""},
        {"a/b.aiff", true, "a/b_1.swf", "a/b.swf"},
        {"a/b.au", false, "a/b_2.swf", "a/b.swf"},  // fails: its name stays free
        {"a/b.flac", true, "a/b_2.swf", "a/b.swf"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.source);
        ASSERT_TRUE(Make(P(step.source)));
        EXPECT_EQ(entry.swfPath, P(step.swf));
        EXPECT_EQ(entry.htmlPath, P(step.swf).substr(0, P(step.swf).size() - 4) + ".htm");
        EXPECT_EQ(entry.clashedWithRun, *step.clash ? P(step.clash) : "");
        batch.Release(entry.swfPath, step.written);
    }
    EXPECT_EQ(ReadText(dir / "a/b_1.swf"), "from an earlier run");  // replaced only when written
}

TEST_F(OutputNamesTest, OverwriteWaitsForTheEntryWritingTheSameName) {
    COutputReservations reservations;
    context.reservations = &reservations;
    settings.TargetExistsOpt = kTargetOverwrite;
    ASSERT_TRUE(Make(P("a/b.wav")));
    std::atomic<bool> released{false}, picked{false};
    std::thread other([&] {
        CFileListEntry e;
        e.path = P("a/b.wav");
        std::string err;
        EXPECT_TRUE(MakeOutputNames(e, settings, err, context));
        EXPECT_TRUE(released.load());  // not before the first entry finished
        picked = true;
        reservations.Release(e.swfPath);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(picked.load());
    released = true;
    reservations.Release(entry.swfPath);
    other.join();
    EXPECT_TRUE(picked.load());
}

}  // namespace
}  // namespace tonvela
