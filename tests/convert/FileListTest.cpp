// The file list core: extensions, column texts, sort comparisons, folder search with links in
// the role of shortcuts, the probe's duplicate test by file identity, and the failure message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "convert/FileList.h"
#include "convert/FileListColumns.h"
#include "convert/FolderSearch.h"
#include "convert/SupportedExtensions.h"
#include "platform/DataFolder.h"
#include "convert/ConvertTestUtil.h"

namespace tonvela {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(SupportedExtension, ListCaseAndLength) {
    for (const char* e : {".mp3", ".MP3", ".Wav", ".wave", ".mp+", ".aifc", ".asf", ".it"})
        EXPECT_TRUE(IsSupportedExtension(e)) << e;
    for (const char* e : {"", ".", ".txt", ".lnk", "mp3", ".mp33", ".swf"}) EXPECT_FALSE(IsSupportedExtension(e)) << e;
    EXPECT_EQ(ExtensionOf("/a.b/c"), "");
    EXPECT_EQ(ExtensionOf("/a/c.tar.MP3"), ".MP3");
    EXPECT_EQ(ExtensionOf("noext"), "");
    // 16 characters with the dot are too long even when they would otherwise match nothing.
    EXPECT_FALSE(IsSupportedExtension(".abcdefghijklmno"));
    EXPECT_EQ(std::size(kOpenFileFilters), 23u);
}

TEST(FileListColumns, Texts) {
    CFileListEntry e;
    e.path = "/music/my song.mp3";
    e.durationSeconds = 7200;
    e.bitRate = 128;
    e.sampleRate = 44100;
    e.channels = 6;
    EXPECT_EQ(ColumnText(e, kColumnFiles), "my song.mp3");
    EXPECT_EQ(ColumnText(e, kColumnLength), "120:00");
    EXPECT_EQ(ColumnText(e, kColumnBitRate), "128 kbps");
    EXPECT_EQ(ColumnText(e, kColumnFreq), "44100 Hz");
    EXPECT_EQ(ColumnText(e, kColumnChannels), "6");
    EXPECT_EQ(LengthText(0), "00:00");
    EXPECT_EQ(LengthText(61), "01:01");
    EXPECT_EQ(ChannelsText(0), "Mono");
    EXPECT_EQ(ChannelsText(1), "Mono");
    EXPECT_EQ(ChannelsText(2), "Stereo");
    EXPECT_STREQ(kFileListColumns[kColumnSwf].title, "SWF");
}

TEST(FileListColumns, SortComparisons) {
    EXPECT_LT(CompareCells(SortNumber, "96 kbps", "128 kbps"), 0);
    EXPECT_GT(CompareCells(SortText, "96 kbps", "128 kbps"), 0);
    EXPECT_EQ(CompareCells(SortNumber, "1.5x", "1.50"), 0);
    EXPECT_EQ(CompareCells(SortNumber, "abc", "0"), 0);
    EXPECT_LT(CompareCells(SortText, "B.mp3", "a.mp3"), 0);  // case-sensitive
    // The Files column reads names as people do: case aside, numbers by value.
    EXPECT_GT(CompareCells(kFileListColumns[kColumnFiles].sort, "B.mp3", "a.mp3"), 0);
    EXPECT_LT(CompareCells(kFileListColumns[kColumnFiles].sort, "track2.mp3", "Track10.mp3"), 0);
    EXPECT_LT(CompareCells(SortSize, "900 K", "1M"), 0);
    EXPECT_GT(CompareCells(SortSize, "1.5 g", "1500 M"), 0);
    EXPECT_EQ(CompareCells(SortSize, "1024", "1 K"), 0);
    EXPECT_EQ(CompareCells(SortDate, "2024-03-05", "2024-03-01"), 4);
    EXPECT_EQ(CompareCells(SortDate, "2023-12-31", "2024-01-01"), -1);
    EXPECT_EQ(CompareCells(SortDate, "2024-03", "2023-01-01"), 0);
    EXPECT_EQ(CompareCells(SortMinSec, "120:00", "03:59"), 7200 - 239);
    EXPECT_EQ(CompareCells(SortMinSec, "12", "03:59"), 0);
    EXPECT_EQ(CompareCells(SortHourMinSec, "1:00:01", "0:59:59"), 2);
    EXPECT_EQ(CompareCells(SortHourMinSec, "1:00", "0:59:59"), 0);

    CSortState s;
    EXPECT_TRUE(s.Click(2));
    EXPECT_FALSE(s.Click(2));
    EXPECT_TRUE(s.Click(2));
    EXPECT_TRUE(s.Click(3));
    EXPECT_FALSE(s.Click(3));
    EXPECT_TRUE(s.Click(1));
}

class FolderSearchTest : public ::testing::Test {
protected:
    std::string Touch(const std::string& rel, const std::string& content = "x") {
        const fs::path p = dir.Path() / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << content;
        return p.string();
    }
    TempDir dir;
};

TEST_F(FolderSearchTest, RecursiveWithLinksAsShortcuts) {
    const std::string a = Touch("top/a.mp3");
    Touch("top/readme.txt");
    const std::string b = Touch("top/sub/b.WAV");
    const std::string c = Touch("top/sub/deeper/c.ogg");
    const std::string outside = Touch("elsewhere/d.flac");
    Touch("elsewhere/inner/e.mp3");
    fs::create_symlink(outside, dir.Path() / "top" / "link-to-d");          // a link to a supported file
    fs::create_symlink(dir.Path() / "elsewhere", dir.Path() / "top" / "folder-link");  // not searched
    fs::create_symlink(dir.Path() / "top" / "readme.txt", dir.Path() / "top" / "txt.mp3");  // target unsupported
    fs::create_symlink("loop2.mp3", dir.Path() / "top" / "loop1.mp3");      // a loop of links
    fs::create_symlink("loop1.mp3", dir.Path() / "top" / "loop2.mp3");
    fs::create_symlink("link-to-d", dir.Path() / "top" / "chain");          // link -> link -> file

    const auto folders = CollectFolders((dir.Path() / "top").string() + "/");
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], (dir.Path() / "top").string());
    EXPECT_EQ(folders[2], (dir.Path() / "top" / "sub" / "deeper").string());  // pre-order

    std::vector<std::string> paths;
    CollectFiles(folders, paths);
    std::sort(paths.begin(), paths.end());
    std::vector<std::string> expected = {a, b, c, outside, outside};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);
}

// Folders and the files of each come in reading order, whatever order the file system keeps.
TEST_F(FolderSearchTest, NamesInReadingOrder) {
    const std::vector<std::string> files = {Touch("t/A.ogg"), Touch("t/b.wav"), Touch("t/Track2.mp3"),
                                            Touch("t/track10.mp3"), Touch("t/sub1/z.mp3"), Touch("t/sub2/x.mp3"),
                                            Touch("t/Sub10/y.mp3")};
    std::vector<std::string> paths;
    CollectFiles(CollectFolders((dir.Path() / "t").string()), paths);
    EXPECT_EQ(paths, files);
}

TEST_F(FolderSearchTest, DroppedItems) {
    const std::string a = Touch("f/a.au");
    std::vector<std::string> paths;
    AddDroppedPath(Touch("x.txt"), paths);
    EXPECT_TRUE(paths.empty());
    AddDroppedPath((dir.Path() / "f").string(), paths);
    EXPECT_EQ(paths, std::vector<std::string>{a});
    fs::create_symlink(dir.Path() / "f", dir.Path() / "flink");
    AddDroppedPath((dir.Path() / "flink").string(), paths);  // a link to a folder adds nothing
    EXPECT_EQ(paths.size(), 1u);
}

// Command-line inputs: files as named (whatever their extension), folders searched, names
// resolved through the file system.
TEST_F(FolderSearchTest, CommandLineInputs) {
    const std::string a = Touch("f/a.au");
    const std::string b = Touch("f/sub/b.wav");
    const std::string txt = Touch("x.txt");
    fs::create_symlink(dir.Path() / "f" / "sub", dir.Path() / "sublink");
    const std::string viaLink = (dir.Path() / "sublink" / ".." / "a.au").string();  // the kernel's ".." is f's
    const std::vector<std::string> paths = ExpandCommandLinePaths(
        {txt, (dir.Path() / "f").string(), viaLink, (dir.Path() / "none.wav").string()});
    EXPECT_EQ(paths, (std::vector<std::string>{txt, a, b, a, (dir.Path() / "none.wav").string()}));
}

class FileListTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox")) GTEST_SKIP() << "needs sox";
        wav = dir.File("tone.wav");
        ASSERT_EQ(test::RunCommand({"sox", "-n", "-r", "22050", "-c", "1", "-b", "16", wav, "synth", "2.5", "sine", "300"}), 0);
    }
    TempDir dir;
    std::string wav;
    CFileList list;
};

TEST_F(FileListTest, ProbeFillsTheEntry) {
    ASSERT_EQ(list.AddFileEntry(wav), 0);
    const CFileListEntry& e = list.At(0);
    EXPECT_EQ(e.path, wav);
    EXPECT_EQ(e.sampleRate, 22050);
    EXPECT_EQ(e.channels, 1);
    EXPECT_EQ(e.durationSeconds, 2);
    EXPECT_EQ(e.kind, AudioKindWav);
    EXPECT_TRUE(e.swfPath.empty());
    EXPECT_EQ(ColumnText(e, kColumnLength), "00:02");
}

TEST_F(FileListTest, DuplicatesByFileIdentity) {
    ASSERT_EQ(list.AddFileEntry(wav), 0);
    const std::string copy = dir.File("copy.wav");
    fs::copy_file(wav, copy);
    ASSERT_EQ(list.AddFileEntry(copy), 1);
    // The same file by another name: a link, a hard link, a path with "..".
    fs::create_symlink(wav, dir.File("link.wav"));
    fs::create_hard_link(wav, dir.File("hard.wav"));
    fs::create_directories(dir.Path() / "sub");
    EXPECT_EQ(list.AddFileEntry(dir.File("link.wav")), 0);
    EXPECT_EQ(list.AddFileEntry(dir.File("hard.wav")), 0);
    EXPECT_EQ(list.AddFileEntry((dir.Path() / "sub" / ".." / "tone.wav").string()), 0);
    EXPECT_EQ(list.Size(), 2u);
    // Linux names differ by case: TONE.WAV is another file, here a missing one.
    EXPECT_EQ(list.AddFileEntry(dir.File("TONE.WAV")), -1);
}

// A progress that runs every look at a file on a thread of its own, as the window does.
class CAsideProgress : public CAddProgress {
public:
    void SetText(const std::string&) override {}
    void SetRange(int) override {}
    void Step() override {}
    void ProcessEvents() override {}
    bool IsCancelled() const override { return cancelled; }
    void RunAside(const std::function<void()>& work) override {
        std::thread(work).join();
        ++asides;
        cancelled = cancelDuringLook;
    }
    int asides = 0;
    bool cancelDuringLook = false, cancelled = false;
};

TEST_F(FileListTest, FailureMessageListsThirtyPaths) {
    std::vector<std::string> paths = {wav};
    for (int i = 0; i < 41; ++i) {
        const std::string p = dir.File("bad" + std::to_string(i) + ".mp3");
        std::ofstream(p) << "not audio " << i;
        paths.push_back(p);
    }
    // The same message whether the files are looked at here or aside.
    CAsideProgress aside;
    const std::string msg = list.AddPathList(paths, nullptr).Message();
    EXPECT_EQ(list.Size(), 1u);
    list.Clear();
    EXPECT_EQ(list.AddPathList(paths, &aside).Message(), msg);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(aside.asides, 2 * 42);  // the identity, then the probe, of each
    std::string expected = "Failed to load the following files.\n\n";
    for (int i = 0; i < 30; ++i)
        expected += dir.File("bad" + std::to_string(i) + ".mp3") +
                    ": damaged, or not really a .mp3 file: no decoder can read sound from it\n";
    expected += "<more files>...\n\nTo get help, please see the manual's page on supported formats:\nfile://" +
                DataFolder() + "help/formats.html";
    EXPECT_EQ(msg, expected);
    EXPECT_EQ(list.AddPathList({wav}, nullptr).Count(), 0);  // a duplicate is no failure
}

// Each failed path says why, in words that tell the cases apart.
TEST_F(FileListTest, FailureReasons) {
    fs::create_directories(dir.File("folder.wav"));
    std::ofstream(dir.File("empty.wav")).flush();
    std::ofstream(dir.File("notes.txt")) << "shopping list";
    std::ofstream(dir.File("README")) << "no extension";
    // A real MP3 cut to its first bytes by ffmpeg: the frames are gone, the name stays.
    ASSERT_EQ(test::RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "libmp3lame",
                                dir.File("full.mp3")}),
              0);
    {
        std::ifstream in(dir.File("full.mp3"), std::ios::binary);
        std::string head(40, '\0');
        in.read(head.data(), 40);
        std::ofstream(dir.File("damaged.mp3"), std::ios::binary) << head.substr(0, 5) << std::string(400, '\x55');
    }
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"missing.mp3", "the file does not exist"},
        {"folder.wav", "a folder, not a file"},
        {"empty.wav", "the file is empty"},
        {"notes.txt", "not a sound file: .txt is no supported audio format and no decoder knows its content"},
        {"README", "not a sound file: it has no extension and no decoder knows its content"},
        {"damaged.mp3", "damaged, or not really a .mp3 file: no decoder can read sound from it"},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) paths.push_back(dir.File(c.name));
    const CAddFailures failures = list.AddPathList(paths, nullptr);
    ASSERT_EQ(failures.Listed().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(failures.Listed()[i].path, paths[i]);
        EXPECT_EQ(failures.Listed()[i].reason, cases[i].reason) << cases[i].name;
    }
    EXPECT_FALSE(failures.More());
    // The help address is a file:// URL of a page that exists.
    const std::string url = CAddFailures::HelpPageUrl();
    ASSERT_EQ(url.rfind("file:///", 0), 0u);
    EXPECT_TRUE(fs::exists(url.substr(7))) << url;
}

TEST_F(FileListTest, AddPathListProgressAndCancel) {
    class CProgress : public CAddProgress {
    public:
        void SetText(const std::string& t) override { texts.push_back(t); }
        void SetRange(int m) override { range = m; }
        void Step() override { ++steps; }
        void ProcessEvents() override {}
        bool IsCancelled() const override { return steps >= 2; }
        std::vector<std::string> texts;
        int range = 0, steps = 0;
    } progress;
    const std::string other = dir.File("other.wav");
    fs::copy_file(wav, other);
    list.AddPathList({wav, other, dir.File("third.wav")}, &progress);
    EXPECT_EQ(progress.range, 3);
    ASSERT_EQ(progress.texts.size(), 2u);
    EXPECT_EQ(progress.texts[0], "[1/3] Adding file tone.wav...");
    EXPECT_EQ(progress.texts[1], "[2/3] Adding file other.wav...");
    EXPECT_EQ(list.Size(), 2u);  // the path in hand is finished, the rest is not added

    // Cancel while a file is looked at aside: a look cut short says nothing of the file, and
    // nothing after it is added.
    const std::string bad = dir.File("bad.mp3");
    std::ofstream(bad) << "not audio";
    list.Clear();
    CAsideProgress aside;
    aside.cancelDuringLook = true;
    const CAddFailures failures = list.AddPathList({bad, wav}, &aside);
    EXPECT_EQ(failures.Count(), 0);
    EXPECT_EQ(list.Size(), 0u);
}

}  // namespace
}  // namespace tonvela

namespace tonvela {
namespace {

// A search that is told to stop ends at once, whatever is left of the tree; one never told
// finds everything.
TEST(FolderSearchStopTest, StopsWhenAsked) {
    TempDir tree;
    for (int f = 0; f < 4; ++f) {
        const std::string sub = tree.File("f" + std::to_string(f));
        fs::create_directories(sub + "/deeper");
        for (int i = 0; i < 5; ++i) std::ofstream(sub + "/deeper/t" + std::to_string(i) + ".wav") << "x";
    }
    std::vector<std::string> all;
    CollectFiles(CollectFolders(tree.File("")), all, [] { return false; });
    EXPECT_EQ(all.size(), 20u);

    for (const int allowed : {0, 3, 12}) {
        SCOPED_TRACE(allowed);
        int asked = 0;
        const SearchStop stop = [&] { return ++asked > allowed; };
        std::vector<std::string> found;
        const std::vector<std::string> folders = CollectFolders(tree.File(""), stop);
        CollectFiles(folders, found, stop);
        EXPECT_LT(found.size(), all.size());
        // Once it said stop, it is asked once more at most per level still open, never per entry.
        EXPECT_LE(asked, allowed + 6);
    }
}

}  // namespace
}  // namespace tonvela
