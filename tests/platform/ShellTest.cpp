// ShellOpen, ShowItems and the documents folder, run against stand-in programs put first on
// PATH: each records its arguments, one per line, so the tests see exactly what was started.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/DocumentsFolder.h"
#include "platform/Process.h"
#include "platform/ShellOpen.h"
#include "platform/ShowItems.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

// Sets an environment variable for one test and puts the old value back.
class CEnvOverride {
public:
    CEnvOverride(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        had_ = std::getenv(name) != nullptr;
        setenv(name, value.c_str(), 1);
    }
    ~CEnvOverride() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

class ShellTest : public ::testing::Test {
protected:
    ShellTest()
        : path_("PATH", (dir / "bin").string() + ":" + std::getenv("PATH")),
          home_("HOME", (dir / "home").string()),
          config_("XDG_CONFIG_HOME", (dir / "home/.config").string()),
          data_("XDG_DATA_HOME", (dir / "share").string()) {
        std::filesystem::create_directories(dir / "bin");
        std::filesystem::create_directories(dir / "home/.config");
        std::filesystem::create_directories(dir / "share/applications");
    }
    // A stand-in program that logs its arguments to log/<name> and exits with rc.
    void Fake(const std::string& name, int rc, const std::string& stdoutText = "") {
        std::string script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                             (dir / ("log-" + name)).string() + "'\nprintf '%s' '" + stdoutText + "'\nexit " +
                             std::to_string(rc) + "\n";
        WriteText(dir / "bin" / name, script);
        ::chmod((dir / "bin" / name).c_str(), 0755);
    }
    std::string Log(const std::string& name) { return ReadText(dir / ("log-" + name)); }

    CTestTempDir dir;
    CEnvOverride path_, home_, config_, data_;
};

TEST_F(ShellTest, ShowItemsAsksTheFileManager) {
    Fake("gdbus", 0);
    Fake("xdg-open", 0);
    ASSERT_TRUE(ShowItems("/music/my song #1.swf"));
    EXPECT_EQ(Log("gdbus"),
              "call\n--session\n--timeout\n10\n--dest\norg.freedesktop.FileManager1\n--object-path\n"
              "/org/freedesktop/FileManager1\n--method\norg.freedesktop.FileManager1.ShowItems\n"
              "['file:///music/my%20song%20%231.swf']\n''\n");
    EXPECT_EQ(Log("xdg-open"), "");
}

TEST_F(ShellTest, ShowItemsOpensTheFolderWhenNoFileManagerAnswers) {
    Fake("gdbus", 1);
    Fake("xdg-open", 0);
    ASSERT_TRUE(ShowItems("/music/a'b/x.swf"));
    EXPECT_EQ(Log("xdg-open"), "/music/a'b\n");
    // URIs never carry a quote that could end the GVariant string.
    EXPECT_NE(Log("gdbus").find("['file:///music/a%27b/x.swf']"), std::string::npos);
}

TEST_F(ShellTest, ShellOpenFallsBackToTheWebPageHandler) {
    Fake("xdg-open", 3);
    Fake("xdg-mime", 0, "fakebrowser.desktop\n");
    Fake("fakebrowser", 0);
    WriteText(dir / "share/applications/fakebrowser.desktop",
              "[Desktop Entry]\nName=Fake\n[Desktop Action new]\nExec=wrong\n");
    EXPECT_FALSE(ShellOpen("/tmp/page.htm"));  // no Exec in the [Desktop Entry] group
    WriteText(dir / "share/applications/fakebrowser.desktop",
              "[Desktop Entry]\nName=Fake\nExec=fakebrowser --new-window %U --after\n");
    ASSERT_TRUE(ShellOpen("/tmp/my page.htm"));
    EXPECT_EQ(Log("xdg-mime"), "query\ndefault\ntext/html\nquery\ndefault\ntext/html\n");
    // Started without waiting: give it a moment to write its log.
    for (int i = 0; i < 200 && Log("fakebrowser").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Log("fakebrowser"), "--new-window\n/tmp/my page.htm\n");
}

TEST_F(ShellTest, ShellOpenPassesTheTargetAsOneArgument) {
    Fake("xdg-open", 0);
    ASSERT_TRUE(ShellOpen("/tmp/a b;$(touch x)`y`.htm"));
    ASSERT_TRUE(ShellOpen("-rf"));
    EXPECT_EQ(Log("xdg-open"), "/tmp/a b;$(touch x)`y`.htm\n./-rf\n");
    EXPECT_FALSE(ShellOpen(""));
}

TEST(HandlerCommand, FieldCodes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(HandlerCommand("firefox %u", "T"), (V{"firefox", "T"}));
    EXPECT_EQ(HandlerCommand("browser", "T"), (V{"browser", "T"}));
    EXPECT_EQ(HandlerCommand("b %i -x=%c 100%% %F more", "T"), (V{"b", "-x=", "100%", "T"}));
    EXPECT_EQ(HandlerCommand("\"/opt/my app/b\" \"quoted \\\"arg\\\"\" %f", "T"),
              (V{"/opt/my app/b", "quoted \"arg\"", "T"}));
    EXPECT_EQ(HandlerCommand("\"unterminated %u", "T"), V{});
    EXPECT_EQ(HandlerCommand("", "T"), V{});
}

TEST_F(ShellTest, DocumentsFolder) {
    // Not configured: xdg-user-dir answers with the home folder, so ~/Documents is used.
    std::string docs = UserDocumentsFolder();
    EXPECT_EQ(docs, (dir / "home/Documents").string());
    EXPECT_TRUE(std::filesystem::is_directory(docs));
    // Configured in user-dirs.dirs (read by the real xdg-user-dir): created when missing.
    WriteText(dir / "home/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
    docs = UserDocumentsFolder();
    EXPECT_EQ(docs, (dir / "home/Papers").string());
    EXPECT_TRUE(std::filesystem::is_directory(docs));
    // No xdg-user-dir at all.
    Fake("xdg-user-dir", 127);
    EXPECT_EQ(UserDocumentsFolder(), (dir / "home/Documents").string());
}

TEST(Process, RunProgramReportsStatusAndOutput) {
    std::string out;
    EXPECT_EQ(RunProgram({"sh", "-c", "printf 'a b'; exit 3"}, &out), 3);
    EXPECT_EQ(out, "a b");
    EXPECT_EQ(RunProgram({"sh", "-c", "head -c 100000 /dev/zero"}, &out, 10), 0);  // kept short, drained
    EXPECT_EQ(out.size(), 10u);
    EXPECT_EQ(RunProgram({"no-such-program-tonvela"}), -1);
    EXPECT_EQ(RunProgram({}), -1);
    EXPECT_EQ(RunProgramWithin({"sleep", "5"}, 50), kStillRunning);
    EXPECT_EQ(RunProgramWithin({"true"}, 5000), 0);
}

}  // namespace
}  // namespace tonvela
