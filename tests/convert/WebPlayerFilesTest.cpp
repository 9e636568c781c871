// The web player on the HTML page: the script tag of each mode and its place, and the copy of
// Ruffle's files beside the pages (once per version, never half, other folders left alone,
// an interrupted copy redone, a batch that cannot copy writes nothing).
#include "convert/WebPlayerFiles.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/TestUtil.h"
#include "convert/ConvertBatch.h"
#include "convert/ConvertOptions.h"
#include "convert/ConvertResult.h"
#include "convert/FileList.h"
#include "convert/FileListEntry.h"
#include "convert/HtmlPage.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

namespace fs = std::filesystem;
using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

std::vector<std::string> Hidden(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string()[0] == '.') out.push_back(e.path().filename().string());
    return out;
}

TEST(WebPlayerPage, DefaultAddressIsTheRuffleVersionWeTestWith) {
    // The pin of package-lock.json, found by its package key.
    const std::string lock = ReadText(fs::path(TONVELA_SOURCE_DIR) / "package-lock.json");
    std::size_t at = lock.find("\"node_modules/@ruffle-rs/ruffle\"");
    ASSERT_NE(at, std::string::npos);
    at = lock.find("\"version\": \"", at);
    ASSERT_NE(at, std::string::npos);
    at += 12;
    const std::string version = lock.substr(at, lock.find('"', at) - at);
    EXPECT_EQ(std::string(kDefaultWebPlayerUrl), "https://unpkg.com/@ruffle-rs/ruffle@" + version + "/ruffle.js");
}

TEST(WebPlayerPage, ScriptTagOfEachMode) {
    struct Case {
        int mode;
        const char* url;
        const char* tag;
    } cases[] = {
        {kWebPlayerNone, "https://x/r.js", ""},
        {kWebPlayerFromUrl, "https://cdn.example/r.js?a=1&b=\"2\"",
         "<SCRIPT src=\"https://cdn.example/r.js?a=1&amp;b=&quot;2&quot;\"></SCRIPT>"},
        {kWebPlayerBesidePage, "https://x/r.js", "<SCRIPT src=\"ruffle/ruffle.js\"></SCRIPT>"},
        {7, "https://x/r.js", ""},
    };
    for (const Case& c : cases) {
        CConvertOptions settings("/data");
        settings.HtmlWebPlayer = c.mode;
        settings.HtmlWebPlayerUrl = c.url;
        EXPECT_EQ(WebPlayerScriptTag(settings), c.tag) << c.mode << " " << c.url;
    }
}

// The pinned default address carries the hash of the ruffle.js we ship (worked out here by
// Python's hashlib from the data folder's copy), so a browser runs nothing else from there; an
// address the user set, even one that differs only slightly, carries none.
TEST(WebPlayerPage, DefaultAddressHasTheShippedFilesIntegrity) {
    const fs::path shipped = fs::path(TONVELA_DATA_DIR) / "ruffle/ruffle.js";
    if (!fs::exists(shipped) || !test::HaveTool("python3")) GTEST_SKIP() << "needs python3 and the shipped Ruffle";
    const std::string command =
        "python3 -c 'import base64,hashlib,sys; print(base64.b64encode(hashlib.sha384(open(sys.argv[1],\"rb\")"
        ".read()).digest()).decode())' '" + shipped.string() + "'";
    std::string hash;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) hash += buf;
        ::pclose(p);
    }
    ASSERT_EQ(hash.size(), 65u) << hash;  // 48 bytes in base64 and a line break
    hash.pop_back();
    CConvertOptions settings("/data");
    settings.HtmlWebPlayer = kWebPlayerFromUrl;
    for (const char* url : {"", kDefaultWebPlayerUrl}) {
        settings.HtmlWebPlayerUrl = url;
        EXPECT_EQ(WebPlayerScriptTag(settings),
                  "<SCRIPT src=\"" + std::string(kDefaultWebPlayerUrl) + "\" integrity=\"sha384-" + hash +
                      "\" crossorigin=\"anonymous\"></SCRIPT>");
    }
    settings.HtmlWebPlayerUrl = std::string(kDefaultWebPlayerUrl) + "?v=2";
    EXPECT_EQ(WebPlayerScriptTag(settings).find("integrity"), std::string::npos);
}

TEST(WebPlayerPage, ScriptPlace) {
    struct Case {
        const char* page;
        std::size_t at;
    } cases[] = {
        {"<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><EMBED></BODY>", 28},
        {"<html><head></Head ><object><embed>", 12},
        {"<p>x</p><Object><embed>", 8},
        {"<p>x</p><EMBED src=a><object>", 8},
        {"<p>%SWF%</p>", 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(WebPlayerScriptPlace(c.page), c.at) << c.page;
}

// Each mode's page is the plain page with the tag put in before </HEAD>, nothing else changed.
TEST(WebPlayerPage, PageOfEachModeDiffersOnlyByTheTag) {
    CTestTempDir dir;
    CConvertOptions settings(dir.Path());  // no Template.htm there: the built-in page
    settings.HtmlWebPlayer = kWebPlayerNone;
    CFileListEntry entry;
    entry.swfPath = (dir / "a b.swf").string();
    entry.htmlPath = (dir / "a b.htm").string();
    ConvertResult result;
    ASSERT_TRUE(WriteHtmlPage(entry, settings, 120, 40, result));
    const std::string plain = ReadText(entry.htmlPath);
    const std::size_t head = plain.find("</HEAD>");
    ASSERT_NE(head, std::string::npos);
    for (int mode : {kWebPlayerFromUrl, kWebPlayerBesidePage}) {
        settings.HtmlWebPlayer = mode;
        settings.HtmlWebPlayerUrl = "https://example.org/%W%/ruffle.js";  // no placeholder in an address
        ASSERT_TRUE(WriteHtmlPage(entry, settings, 120, 40, result));
        const std::string src = mode == kWebPlayerFromUrl ? "https://example.org/%W%/ruffle.js" : "ruffle/ruffle.js";
        EXPECT_EQ(ReadText(entry.htmlPath),
                  plain.substr(0, head) + "<SCRIPT src=\"" + src + "\"></SCRIPT>" + plain.substr(head));
    }
    // A template without a head: before the movie's markup.
    WriteText(dir / "Template.htm", "<p>%T%</p>\n<embed src=\"%SWF%\">\n");
    settings.HtmlTemplateFile = (dir / "Template.htm").string();
    ASSERT_TRUE(WriteHtmlPage(entry, settings, 120, 40, result));
    EXPECT_EQ(ReadText(entry.htmlPath),
              "<p>a b.swf</p>\n<SCRIPT src=\"ruffle/ruffle.js\"></SCRIPT><embed src=\"a%20b.swf\">\n");
}

class WebPlayerCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(source);
        WriteText(source / "ruffle.js", "/* ruffle */");
        WriteText(source / "core.ruffle.abc.js", "/* core */");
        WriteText(source / "package.json", "{\"name\":\"@ruffle-rs/ruffle\",\"version\":\"0.6.0\"}");
        // Large enough to stop a copy limited to 64 KiB per file half-way.
        WriteText(source / "zz.wasm", std::string(200000, 'w'));
        fs::create_directories(out);
    }
    bool Copy(std::string* errorOut = nullptr) {
        std::string error;
        const bool ok = CopyWebPlayerFiles(source.string(), out.string(), error);
        if (errorOut) *errorOut = error;
        return ok;
    }
    // The copy is whole: every source file with its content, and the marker.
    void ExpectComplete() {
        for (const char* name : {"ruffle.js", "core.ruffle.abc.js", "package.json", "zz.wasm"})
            EXPECT_EQ(ReadText(out / "ruffle" / name), ReadText(source / name)) << name;
        EXPECT_EQ(ReadText(out / "ruffle" / kWebPlayerMarkerName), WebPlayerVersion(source.string()) + "\n");
        EXPECT_TRUE(Hidden(out).empty());
    }
    // Runs the copy in a child process whose files may not grow past 64 KiB, as a full disk or
    // a kill would stop it; returns the child's wait status.
    int CopyInLimitedChild(bool killedByLimit) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (!killedByLimit) ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead
            rlimit core{0, 0}, size{65536, 65536};
            ::setrlimit(RLIMIT_CORE, &core);
            ::setrlimit(RLIMIT_FSIZE, &size);
            std::string error;
            const bool ok = CopyWebPlayerFiles(source.string(), out.string(), error);
            if (!ok) std::fprintf(stderr, "child: %s\n", error.c_str());
            ::_exit(ok ? 0 : (error.find("File too large") != std::string::npos ? 3 : 4));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    CTestTempDir dir;
    fs::path source = dir / "data/ruffle", out = dir / "out";
};

TEST_F(WebPlayerCopyTest, CopiesOncePerVersion) {
    ASSERT_TRUE(Copy());
    ExpectComplete();
    EXPECT_EQ(WebPlayerVersion(source.string()).rfind("0.6.0 ", 0), 0u);
    // Same version: nothing is copied again (a file added there stays, the old inode too).
    WriteText(out / "ruffle" / "mine.txt", "x");
    struct stat before {}, after {};
    ::stat((out / "ruffle" / "zz.wasm").c_str(), &before);
    ASSERT_TRUE(Copy());
    ::stat((out / "ruffle" / "zz.wasm").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_TRUE(fs::exists(out / "ruffle" / "mine.txt"));
    // Another version (a file of another size): the old copy is replaced as a whole.
    WriteText(source / "zz.wasm", std::string(1000, 'v'));
    ASSERT_TRUE(Copy());
    ExpectComplete();
    EXPECT_FALSE(fs::exists(out / "ruffle" / "mine.txt"));
}

TEST_F(WebPlayerCopyTest, FoldersItDidNotMakeAreLeftAlone) {
    // The user's own Ruffle: used as it is.
    fs::create_directories(out / "ruffle");
    WriteText(out / "ruffle" / "ruffle.js", "mine");
    EXPECT_TRUE(Copy());
    EXPECT_EQ(ReadText(out / "ruffle" / "ruffle.js"), "mine");
    // Something else of that name: an error, and it stays.
    fs::remove_all(out / "ruffle");
    WriteText(out / "ruffle", "a file");
    std::string error;
    EXPECT_FALSE(Copy(&error));
    EXPECT_NE(error.find("not a web player folder"), std::string::npos) << error;
    EXPECT_EQ(ReadText(out / "ruffle"), "a file");
    EXPECT_TRUE(Hidden(out).empty());
    // No web player in the data folder.
    fs::remove(source / "ruffle.js");
    fs::remove(out / "ruffle");
    EXPECT_FALSE(Copy(&error));
    EXPECT_NE(error.find(source.string()), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(out / "ruffle"));
}

TEST_F(WebPlayerCopyTest, InterruptedOrFailedCopyNeverLooksComplete) {
    // A write that fails: reported, and nothing is left.
    const int failed = CopyInLimitedChild(false);
    ASSERT_TRUE(WIFEXITED(failed)) << failed;
    EXPECT_EQ(WEXITSTATUS(failed), 3);
    EXPECT_FALSE(fs::exists(out / "ruffle"));
    EXPECT_TRUE(Hidden(out).empty());
    // Killed half-way: its temporary folder is left, no "ruffle".
    const int killed = CopyInLimitedChild(true);
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_EQ(WTERMSIG(killed), SIGXFSZ);
    EXPECT_FALSE(fs::exists(out / "ruffle"));
    ASSERT_EQ(Hidden(out).size(), 1u);
    // The next run clears the leftover and copies the whole.
    ASSERT_TRUE(Copy());
    ExpectComplete();
}

// A batch in the "beside the page" mode: each page's folder gets the player; when it cannot,
// the entry fails with the reason and nothing of it is written.
TEST(WebPlayerBatch, PagesGetThePlayerOrNothingIsWritten) {
    if (!test::HaveTool("sox")) GTEST_SKIP() << "needs sox";
    CTestTempDir data, out;
    fs::create_directory_symlink(fs::path(TONVELA_SOURCE_DIR) / "data/ControlSWF", data / "ControlSWF");
    fs::create_directories(data / "ruffle");
    WriteText(data / "ruffle" / "ruffle.js", "/* ruffle */");
    std::vector<std::string> inputs;
    for (const char* name : {"one.wav", "two.wav"}) {
        inputs.push_back((out / name).string());
        ASSERT_EQ(test::RunCommand({"sox", "-n", "-r", "22050", "-c", "1", inputs.back(), "synth", "0.5", "sine", "440"}),
                  0);
    }
    CConvertOptions settings(data.Path());
    settings.BrowseOutFolder = 0;
    settings.OutputFiles2MyDocuments = 0;
    settings.HtmlWebPlayer = kWebPlayerBesidePage;
    for (bool available : {true, false}) {
        if (!available) {
            fs::remove_all(out / "ruffle");
            fs::remove(data / "ruffle" / "ruffle.js");
            for (const char* f : {"one.swf", "two.swf", "one.htm", "two.htm"}) fs::remove(out / f);
        }
        CFileList list;
        for (const auto& p : inputs) list.AddFileEntry(p);
        std::vector<BatchItem> items;
        for (std::size_t i = 0; i < list.Size(); ++i) items.push_back({&list.At(i), i});
        class CUi : public CBatchUi {
        public:
            void ShowMessage(const std::string&, MessageIcon) override {}
            void SetStatus(std::size_t row, const std::string& text) override { statuses[row] = text; }
            CConvertProgress& OpenProgress() override { return progress; }
            void CloseProgress() override {}
            void ShowFirstSwf(const std::string&) override {}
            std::string statuses[2];
            CNullConvertProgress progress;
        } ui;
        const BatchOutcome outcome = ConvertBatch(items, settings, ui, available ? 1 : 2);
        if (available) {
            EXPECT_EQ(outcome.converted, 2u);
            EXPECT_EQ(ui.statuses[1], "two.swf");
            EXPECT_EQ(ReadText(out / "ruffle" / "ruffle.js"), "/* ruffle */");
            EXPECT_NE(ReadText(out / "two.htm").find("<SCRIPT src=\"ruffle/ruffle.js\"></SCRIPT>"), std::string::npos);
        } else {
            EXPECT_EQ(outcome.failed, 2u);
            // The status says what is missing and which package brings it.
            for (const std::string& s : ui.statuses) {
                EXPECT_EQ(s.rfind(kStatusWebPlayerNotCopied, 0), 0u) << s;
                EXPECT_NE(s.find("not installed"), std::string::npos) << s;
                EXPECT_NE(s.find("tonvela-webplayer"), std::string::npos) << s;
            }
            EXPECT_FALSE(fs::exists(out / "one.swf"));
            EXPECT_FALSE(fs::exists(out / "two.htm"));
            EXPECT_TRUE(list.At(0).swfPath.empty());
        }
        EXPECT_TRUE(Hidden(out.Path()).empty());
    }
}

}  // namespace
}  // namespace tonvela
