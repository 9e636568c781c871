#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "platform/ProfileFile.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CountEntries;
using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

const std::string kKey = kOptionsKey;

TEST(SettingsStore, MissingFileIsAnEmptyStore) {
    CTestTempDir dir;
    CSettingsStore store(dir / "cfg");
    EXPECT_TRUE(store.Load());
    EXPECT_FALSE(store.KeyExists(kKey));
    EXPECT_FALSE(store.GetDword(kKey, "FirstRun"));
}

TEST(SettingsStore, ValuesRoundTripThroughTheFile) {
    CTestTempDir dir;
    CSettingsStore store(dir / "cfg");  // the folder is created by Save
    ASSERT_TRUE(store.SetDword(kKey, "FirstRun", 0xFFFFFFFFu));
    // Every byte a path may hold, the escaped ones included.
    std::string odd = "/a b/\"q\"\\x\n\r\t\x01\x7f\xc3\xa9=;[]";
    ASSERT_TRUE(store.SetString(kKey, "Path", odd));
    ASSERT_TRUE(store.SetString(kKey, "Empty", ""));
    ASSERT_TRUE(store.SetBinary(kKey, "Bin", {0x00, 0xff, 0x10}));
    ASSERT_TRUE(store.SetBinary(kKey, "NoBytes", {}));
    ASSERT_TRUE(store.Save());

    CSettingsStore again(dir / "cfg");
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetDword(kKey, "FirstRun"), 0xFFFFFFFFu);
    EXPECT_EQ(again.GetString(kKey, "Path"), odd);
    EXPECT_EQ(again.GetString(kKey, "Empty"), "");
    EXPECT_EQ(again.GetBinary(kKey, "Bin"), (CSettingsStore::Binary{0x00, 0xff, 0x10}));
    EXPECT_EQ(again.GetBinary(kKey, "NoBytes"), CSettingsStore::Binary{});
    // Typed reads refuse another type.
    EXPECT_FALSE(again.GetString(kKey, "FirstRun"));
    EXPECT_FALSE(again.GetDword(kKey, "Path"));

    // The file is plain text that a person can read.
    std::string text = ReadText(again.FilePath());
    EXPECT_NE(text.find("[Software\\Tonvela\\Options]\n"), std::string::npos);
    EXPECT_NE(text.find("FirstRun=dword:ffffffff\n"), std::string::npos);
    EXPECT_NE(text.find("Bin=hex:00,ff,10\n"), std::string::npos);
}

TEST(SettingsStore, RefusesNamesTheFileCannotHold) {
    CSettingsStore store("/nonexistent");
    EXPECT_FALSE(store.SetDword(kKey, "", 1));
    EXPECT_FALSE(store.SetDword(kKey, "a=b", 1));
    EXPECT_FALSE(store.SetDword(kKey, "a\nb", 1));
    EXPECT_FALSE(store.SetDword(kKey, "[x", 1));
    EXPECT_FALSE(store.SetDword(kKey, "#x", 1));
    EXPECT_FALSE(store.SetDword("a]b", "x", 1));
    EXPECT_FALSE(store.KeyExists("a]b"));
}

TEST(SettingsStore, SaveWritesOnlyChangedValuesAndKeepsOthers) {
    CTestTempDir dir;
    CSettingsStore a(dir.Path());
    CSettingsStore b(dir.Path());
    ASSERT_TRUE(a.Load());
    ASSERT_TRUE(b.Load());
    a.SetDword(kKey, "FirstRun", 0);
    ASSERT_TRUE(a.Save());
    // b loaded before a saved; its save must not drop a's value.
    b.SetString(kKey, "Folder", "/music");
    ASSERT_TRUE(b.Save());
    CSettingsStore c(dir.Path());
    ASSERT_TRUE(c.Load());
    EXPECT_EQ(c.GetDword(kKey, "FirstRun"), 0u);
    EXPECT_EQ(c.GetString(kKey, "Folder"), "/music");
}

// Programs saving different values at the same moment all keep theirs: each re-reads, merges
// and replaces the file under the store's lock.
TEST(SettingsStore, ConcurrentSavesOfDifferentValuesAllLand) {
    constexpr int kWriters = 3;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        CTestTempDir dir;
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        for (int w = 0; w < kWriters; ++w) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(gate[1]);
                char c;
                (void)!::read(gate[0], &c, 1);  // all start when the gate closes
                CSettingsStore store(dir.Path());
                store.Load();
                store.SetDword(kKey, "Value" + std::to_string(w), static_cast<std::uint32_t>(round));
                ::_exit(store.Save() ? 0 : 1);
            }
            children.push_back(pid);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (const pid_t pid : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        CSettingsStore check(dir.Path());
        ASSERT_TRUE(check.Load());
        for (int w = 0; w < kWriters; ++w) EXPECT_EQ(check.GetDword(kKey, "Value" + std::to_string(w)), static_cast<std::uint32_t>(round)) << w;
    }
}

// Each of these files is damaged somewhere; the whole store then reads as empty.
// A line that cannot be read is skipped alone and named with its number; the values around
// it still load.
TEST(SettingsStore, UnreadableLineIsSkippedAlone) {
    // Each goes between good lines; line 1, a value before any key, is skipped too.
    const char* damaged[] = {
        "[Software\\Tonvela\\Options]\nX=dword:1234567890\n",  // too many digits
        "[Software\\Tonvela\\Options]\nX=dword:\n",
        "[Software\\Tonvela\\Options]\nX=dword:12g4\n",
        "[Software\\Tonvela\\Options]\nX=\"unterminated\n",
        "[Software\\Tonvela\\Options]\nX=\"bad \\q escape\"\n",
        "[Software\\Tonvela\\Options]\nX=\"cut \\x4\"\n",
        "[Software\\Tonvela\\Options]\nX=\"ends in \\\"\n",
        "[Software\\Tonvela\\Options]\nX=\"a\"b\"\n",
        "[Software\\Tonvela\\Options]\nX=hex:0\n",
        "[Software\\Tonvela\\Options]\nX=hex:00,\n",
        "[Software\\Tonvela\\Options]\nX=hex:00;11\n",
        "[Software\\Tonvela\\Options]\nno equals sign\n",
        "[Software\\Tonvela\\Options\nX=dword:1\n",
        "[]\n",
        "[Software\\Tonvela\\Options]\nX=\"\n",
        "[Software\\Tonvela\\Options]\n=dword:1\n",
    };
    for (const char* text : damaged) {
        CTestTempDir dir;
        const std::string whole = std::string("A=dword:00000001\n[Software\\Tonvela\\Options]\nB=dword:00000002\n") +
                                  text + "[Software\\Tonvela\\Options]\nC=\"kept\"\n";
        WriteText(dir / CSettingsStore::kFileName, whole);
        CSettingsStore store(dir.Path());
        EXPECT_FALSE(store.Load()) << text;
        EXPECT_EQ(store.GetDword(kKey, "B"), 2u) << text;
        EXPECT_EQ(store.GetString(kKey, "C"), "kept") << text;
        EXPECT_FALSE(store.Get(kKey, "X")) << text;
        // Line 1 (a value before any key), then the damaged lines: each "line N: " and line N.
        ASSERT_GE(store.SkippedLines().size(), 2u) << text;
        EXPECT_EQ(store.SkippedLines()[0], "line 1: A=dword:00000001");
        std::vector<std::string> lines;
        for (std::size_t start = 0; start < whole.size();) {
            const std::size_t eol = whole.find('\n', start);
            lines.push_back(whole.substr(start, eol - start));
            start = eol + 1;
        }
        for (std::size_t i = 1; i < store.SkippedLines().size(); ++i) {
            const std::string& skipped = store.SkippedLines()[i];
            const std::size_t n = std::stoul(skipped.substr(5));
            ASSERT_GE(n, 4u) << skipped;
            ASSERT_LE(n, lines.size()) << skipped;
            EXPECT_EQ(skipped, "line " + std::to_string(n) + ": " + lines[n - 1]);
        }
    }
}

// Forms a hand edit leaves behind are read as meant.
TEST(SettingsStore, HandEditedFormsAreRead) {
    const struct {
        const char* line;
        CSettingsStore::Value value;
    } cases[] = {
        {"X = dword:0000000c", CSettingsStore::Value(12u)},
        {"X\t=\tdword:c", CSettingsStore::Value(12u)},
        {"  X =hex:01,02", CSettingsStore::Value(CSettingsStore::Binary{1, 2})},
        {"X = \"quoted\"  ", CSettingsStore::Value(std::string("quoted"))},
        {"X=/home/me/My Music/back.jpg", CSettingsStore::Value(std::string("/home/me/My Music/back.jpg"))},
        {"X = plain text ", CSettingsStore::Value(std::string("plain text"))},
        {"X=", CSettingsStore::Value(std::string())},
    };
    for (const auto& c : cases) {
        for (const char* bom : {"", "\xEF\xBB\xBF"}) {
            CTestTempDir dir;
            WriteText(dir / CSettingsStore::kFileName,
                      std::string(bom) + "[Software\\Tonvela\\Options]\r\n" + c.line + "\r\n");
            CSettingsStore store(dir.Path());
            EXPECT_TRUE(store.Load()) << c.line;
            EXPECT_EQ(store.Get(kKey, "X"), c.value) << c.line;
            // Saving keeps the store where it is: nothing is moved aside.
            store.SetDword(kKey, "Y", 1);
            ASSERT_TRUE(store.Save());
            EXPECT_TRUE(store.DamagedCopy().empty()) << c.line;
            CSettingsStore again(dir.Path());
            ASSERT_TRUE(again.Load());
            EXPECT_EQ(again.Get(kKey, "X"), c.value) << c.line;
        }
    }
}

TEST(SettingsStore, RandomBytesNeverCrashTheParser) {
    std::srand(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text = "[K]\nA=";
        int n = std::rand() % 40;
        for (int i = 0; i < n; ++i) text += "\"\\x0af,:=\n[]h d"[std::rand() % 16];
        CSettingsStore::Keys keys;
        CSettingsStore::Parse(text, keys);  // any result, but within bounds (ASan checks)
    }
}

TEST(SettingsStore, CommentsBlankLinesAndCrLfAreAccepted) {
    CTestTempDir dir;
    WriteText(dir / CSettingsStore::kFileName,
              "; made by hand\r\n\r\n# another comment\n[Software\\Tonvela\\Options]\r\nA=dword:0000000C\r\n");
    CSettingsStore store(dir.Path());
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.GetDword(kKey, "A"), 12u);
}

TEST(SettingsStore, OversizedFileIsDamaged) {
    CTestTempDir dir;
    WriteText(dir / CSettingsStore::kFileName,
              "[K]\n" + std::string(CSettingsStore::kMaxFileBytes, ';'));
    CSettingsStore store(dir.Path());
    EXPECT_FALSE(store.Load());
    EXPECT_FALSE(store.KeyExists("K"));
}

// Each damaged store is kept under a name of its own (two within one second too).
TEST(SettingsStore, SaveOverDamagedFileReplacesItAndKeepsACopy) {
    CTestTempDir dir;
    std::set<std::string> copies;
    for (const char* garbage : {"garbage 1\n", "garbage 2\n"}) {
        WriteText(dir / CSettingsStore::kFileName, garbage);
        CSettingsStore store(dir.Path());
        EXPECT_FALSE(store.Load());
        store.SetDword(kKey, "FirstRun", 0);
        ASSERT_TRUE(store.Save());
        CSettingsStore again(dir.Path());
        ASSERT_TRUE(again.Load());
        EXPECT_EQ(again.GetDword(kKey, "FirstRun"), 0u);
        ASSERT_EQ(std::filesystem::path(store.DamagedCopy()).parent_path(), dir.Path());
        EXPECT_EQ(ReadText(store.DamagedCopy()), garbage);
        copies.insert(store.DamagedCopy());
    }
    EXPECT_EQ(copies.size(), 2u);
}

// What Save writes, Load must read: a store past the size limit is refused, the old one stays.
TEST(SettingsStore, SaveRefusesAStoreTooLargeToRead) {
    CTestTempDir dir;
    CSettingsStore store(dir.Path());
    store.SetDword(kKey, "FirstRun", 1);
    ASSERT_TRUE(store.Save());
    const std::string before = ReadText(dir / CSettingsStore::kFileName);
    store.SetString(kKey, "Folder", std::string(CSettingsStore::kMaxFileBytes / 4, '\x01'));  // 4 bytes each
    EXPECT_FALSE(store.Save());
    EXPECT_FALSE(store.SaveError().empty());
    EXPECT_EQ(ReadText(dir / CSettingsStore::kFileName), before);
}

TEST(SettingsStore, StoreBehindASymbolicLinkIsUpdatedInPlace) {
    CTestTempDir dir;
    std::filesystem::create_directories(dir / "dotfiles");
    std::filesystem::create_directories(dir / "cfg");
    WriteText(dir / "dotfiles/tonvela.conf", "[K]\nA=dword:00000001\n");
    std::filesystem::create_symlink(dir / "dotfiles/tonvela.conf", dir / "cfg" / CSettingsStore::kFileName);
    CSettingsStore store(dir / "cfg");
    ASSERT_TRUE(store.Load());
    struct stat before {}, after {};
    ASSERT_EQ(::stat((dir / "dotfiles/tonvela.conf").c_str(), &before), 0);
    store.SetDword("K", "B", 2);
    ASSERT_TRUE(store.Save());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "cfg" / CSettingsStore::kFileName));
    // Written through the link: the same file, nothing new beside it.
    ASSERT_EQ(::stat((dir / "dotfiles/tonvela.conf").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(CountEntries(dir / "dotfiles"), 1);
    CSettingsStore again(dir / "cfg");
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetDword("K", "A"), 1u);
    EXPECT_EQ(again.GetDword("K", "B"), 2u);

    // A write that cannot complete (the file size limit) leaves the old content.
    const std::string old = ReadText(dir / "dotfiles/tonvela.conf");
    store.SetString("K", "Big", std::string(4096, 'x'));
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = store.Save();
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadText(dir / "dotfiles/tonvela.conf"), old);

    // A damaged store behind the link is kept aside as it was, not written over with the new one.
    const std::string damaged = "not a settings line\n[K]\nA=dword:00000001\n";
    WriteText(dir / "dotfiles/tonvela.conf", damaged);
    CSettingsStore third(dir / "cfg");
    third.SetDword("K", "C", 3);
    ASSERT_TRUE(third.Save());
    EXPECT_EQ(ReadText(third.DamagedCopy()), damaged);
    CSettingsStore fourth(dir / "cfg");
    ASSERT_TRUE(fourth.Load());
    EXPECT_EQ(fourth.GetDword("K", "A"), 1u);
    EXPECT_EQ(fourth.GetDword("K", "C"), 3u);
}

TEST(SettingsStore, SaveLeavesNoTemporaryFiles) {
    CTestTempDir dir;
    CSettingsStore store(dir.Path());
    for (std::uint32_t i = 0; i < 5; ++i) {
        store.SetDword(kKey, "N", i);
        ASSERT_TRUE(store.Save());
    }
    EXPECT_EQ(CountEntries(dir.Path()), 2);  // the store and the savers' lock file
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / CSettingsStore::kLockFileName));
    // An ordinary file, readable as the user's umask allows (not a private temporary file).
    struct stat st {};
    ASSERT_EQ(::stat(store.FilePath().c_str(), &st), 0);
    mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

// A write that fails half-way (here: the file size limit) leaves the old store as it was and
// no temporary file. Works for root too, unlike a read-only folder.
TEST(SettingsStore, FailedWriteKeepsOldStore) {
    CTestTempDir dir;
    CSettingsStore store(dir.Path());
    store.SetDword(kKey, "Old", 1);
    ASSERT_TRUE(store.Save());
    const std::string before = ReadText(store.FilePath());

    store.SetString(kKey, "Big", std::string(4096, 'x'));
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = store.Save();
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadText(store.FilePath()), before);
    EXPECT_EQ(CountEntries(dir.Path()), 2);  // the store and the savers' lock file
}

TEST(SettingsStore, UnwritableFolderFailsCleanly) {
    CTestTempDir dir;
    // A folder path that runs through a regular file can never be created.
    WriteText(dir / "file", "x");
    CSettingsStore blocked(dir / "file" / "cfg");
    blocked.SetDword(kKey, "A", 1);
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(ReadText(dir / "file"), "x");

    // A read-only folder holding a store: the store stays, nothing is added.
    CSettingsStore store(dir / "ro");
    store.SetDword(kKey, "A", 1);
    ASSERT_TRUE(store.Save());
    const std::string before = ReadText(store.FilePath());
    ASSERT_EQ(::chmod((dir / "ro").c_str(), 0500), 0);
    if (!test::FolderRefusesWrites(dir / "ro")) GTEST_SKIP() << "running with write access to every folder";
    store.SetDword(kKey, "A", 2);
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(ReadText(store.FilePath()), before);
    EXPECT_EQ(CountEntries(dir / "ro"), 1);
}

TEST(SettingsStore, DefaultFolderFollowsTheEnvironment) {
    const char* names[] = {"TONVELA_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        had[i] = v != nullptr;
        if (v) saved[i] = v;
    }
    setenv("HOME", "/home/u", 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("TONVELA_CONFIG_DIR");
    EXPECT_EQ(CSettingsStore::DefaultFolder(), "/home/u/.config/tonvela");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored: not absolute
    EXPECT_EQ(CSettingsStore::DefaultFolder(), "/home/u/.config/tonvela");
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(CSettingsStore::DefaultFolder(), "/xdg/tonvela");
    setenv("TONVELA_CONFIG_DIR", "/mine", 1);
    EXPECT_EQ(CSettingsStore::DefaultFolder(), "/mine");
    for (int i = 0; i < 3; ++i) {
        if (had[i]) setenv(names[i], saved[i].c_str(), 1);
        else unsetenv(names[i]);
    }
}

TEST(ProfileFile, ReadsAndWritesRecQuality) {
    CTestTempDir dir;
    CProfileFile profile(dir / "cfg");
    EXPECT_EQ(profile.GetInt("Options", "RecQuality", 3), 3);
    ASSERT_TRUE(profile.WriteInt("Options", "RecQuality", 2));
    EXPECT_EQ(profile.GetInt("Options", "RecQuality", 3), 2);
    EXPECT_EQ(ReadText(profile.FilePath()), "[Options]\nRecQuality=2\n");

    // Other sections and lines survive a write; names match without regard to case.
    WriteText(profile.FilePath(), "; note\n[Other]\nRecQuality=9\n\n[options]\nrecquality = 1\nX=y\n");
    EXPECT_EQ(profile.GetInt("Options", "RecQuality", 3), 1);
    ASSERT_TRUE(profile.WriteInt("Options", "RecQuality", 4));
    EXPECT_EQ(ReadText(profile.FilePath()), "; note\n[Other]\nRecQuality=9\n\n[options]\nRecQuality=4\nX=y\n");
    ASSERT_TRUE(profile.WriteString("Options", "New", "v"));
    EXPECT_EQ(profile.GetString("Options", "New"), "v");
    EXPECT_EQ(profile.GetString("Other", "New"), std::nullopt);

    WriteText(profile.FilePath(), "[Options]\nRecQuality=abc\n");
    EXPECT_EQ(profile.GetInt("Options", "RecQuality", 3), 3);
    EXPECT_FALSE(profile.WriteString("Options", "A\nB", "1"));
}

}  // namespace
}  // namespace tonvela
