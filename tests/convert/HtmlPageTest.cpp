#include "convert/HtmlPage.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "convert/ConvertOptions.h"
#include "convert/ConvertResult.h"
#include "convert/FileListEntry.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CountEntries;
using test::CTestTempDir;
using test::ReadText;
using test::WriteText;

// The built-in page, written out by hand with the values put in.
std::string ExpectedPage(const std::string& title, const std::string& w, const std::string& h,
                         const std::string& swf, const std::string& bkg, const std::string& name) {
    return "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD>\r\n"
           "<BODY bgcolor=\"#FFFFFF\">\r\n"
           "\r\n"
           "<OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\""
           "http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=6,0,0,0\" WIDTH=\"" + w +
           "\" HEIGHT=\"" + h + "\">\r\n"
           " <PARAM NAME=\"movie\" VALUE=\"" + swf + "\">\r\n"
           " <PARAM NAME=\"quality\" VALUE=\"high\">\r\n"
           " <PARAM NAME=\"bgcolor\" VALUE=\"" + bkg + "\">\r\n"
           " <EMBED src=\"" + swf + "\" quality=\"high\" bgcolor=\"" + bkg + "\" WIDTH=\"" + w + "\" HEIGHT=\"" + h +
           "\" TYPE=\"application/x-shockwave-flash\" PLUGINSPAGE=\"http://www.macromedia.com/go/getflashplayer\">"
           "</EMBED>\r\n"
           "</OBJECT>\r\n" + name + "\r\n"
           "\r\n"
           "\r\n"
           "</BODY></HTML>\r\n";
}

class HtmlPageTest : public ::testing::Test {
protected:
    // No Template.htm there: the built-in one; no web player: the page for the plug-in only.
    HtmlPageTest() : settings(dir.Path()) { settings.HtmlWebPlayer = kWebPlayerNone; }
    std::string Write(const std::string& swfName, const std::string& playerName = "") {
        entry.swfPath = (dir / swfName).string();
        entry.htmlPath = (dir / "page.htm").string();
        entry.playerSwfPath = playerName.empty() ? "" : (dir / playerName).string();
        EXPECT_TRUE(WriteHtmlPage(entry, settings, 320, 40, result));
        return ReadText(entry.htmlPath);
    }
    CTestTempDir dir;
    CConvertOptions settings;
    CFileListEntry entry;
    ConvertResult result;
};

TEST_F(HtmlPageTest, BuiltInTemplateWithPlaceholdersReplaced) {
    settings.SWFBkgColor = 0x336699;  // red 0x99, green 0x66, blue 0x33
    EXPECT_EQ(Write("my song.swf"), ExpectedPage("my song.swf", "320", "40", "my%20song.swf", "#996633", "my song"));
    settings.AddFileNameOnHtml = 0;  // the name's line stays, empty
    settings.SWFBkgColor = 0xFFFFFF;
    EXPECT_EQ(Write("a_b-c.swf"), ExpectedPage("a_b-c.swf", "320", "40", "a%5Fb%2Dc.swf", "#FFFFFF", ""));
    EXPECT_EQ(CountEntries(dir.Path()), 1);  // the page only: no temporary file left
}

TEST_F(HtmlPageTest, ShellPlayerQuery) {
    settings.CreateCtrlSWF = 1;
    settings.ButtonSWFType = kButtonShellPlayer;
    result.convertedSeconds = 83;
    EXPECT_EQ(Write("a.swf", "a.player.swf"),
              ExpectedPage("a.swf", "320", "40", "a.player.swf?soundswf=a.swf&autoplay=1&loops=0", "#FFFFFF", "a"));
    settings.ShellPlayerSWF = "/x/ShellPlayer/Circle_TIME.swf";  // "time" in any case adds the duration
    settings.SWFInitPlay = 0;
    settings.SWFLoopPlay = 1;
    EXPECT_EQ(Write("a b.swf", "a b.player.swf"),
              ExpectedPage("a b.swf", "320", "40",
                           "a%20b.player.swf?soundswf=a%20b.swf&autoplay=0&loops=1&duration=83", "#FFFFFF", "a b"));
    // Only the player's file name counts, as for the batch: a folder named "time" adds nothing.
    settings.ShellPlayerSWF = "/home/maritime/ShellPlayer/square_gradient_3.swf";
    EXPECT_EQ(Write("a.swf", "a.player.swf"),
              ExpectedPage("a.swf", "320", "40", "a.player.swf?soundswf=a.swf&autoplay=0&loops=1", "#FFFFFF", "a"));
}

// Names are text inside the page: markup characters must not break out of it.
TEST_F(HtmlPageTest, NamesAreEscaped) {
    const std::string name = "<b>\"Tom & Jerry\"<i>.swf";
    EXPECT_EQ(Write(name), ExpectedPage("&lt;b&gt;&quot;Tom &amp; Jerry&quot;&lt;i&gt;.swf", "320", "40",
                                        "%3Cb%3E%22Tom%20%26%20Jerry%22%3Ci%3E.swf", "#FFFFFF",
                                        "&lt;b&gt;&quot;Tom &amp; Jerry&quot;&lt;i&gt;"));
    // A name that looks like a placeholder is put in as it is, never replaced again.
    std::string page = Write("x%BKG%%W%.swf");
    EXPECT_NE(page.find("<TITLE>x%BKG%%W%.swf</TITLE>"), std::string::npos);
    EXPECT_NE(page.find("\r\nx%BKG%%W%\r\n"), std::string::npos);
    // Bytes of 0x80 and above are percent-encoded in the URL, so that a page read in any code
    // page links to the right file; the title keeps the name, and the page says it is UTF-8.
    page = Write("\xc3\xa9t\xc3\xa9.swf");
    EXPECT_NE(page.find("VALUE=\"%C3%A9t%C3%A9.swf\""), std::string::npos);
    EXPECT_NE(page.find("<HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"><TITLE>"
                        "\xc3\xa9t\xc3\xa9.swf</TITLE>"),
              std::string::npos);
    EXPECT_EQ(Write("plain.swf").find("charset"), std::string::npos);
}

TEST_F(HtmlPageTest, UserTemplate) {
    WriteText(dir / "Template.htm", "no placeholders\n");
    EXPECT_EQ(Write("a.swf"), "no placeholders\n");
    WriteText(dir / "Template.htm", "%W%x%H% %W% %T%%T% %SWFNAME% %bkg% %BKG%");
    EXPECT_EQ(Write("a.swf"), "320x40 320 a.swfa.swf a %bkg% #FFFFFF");
    // Text after a zero byte is not part of the template.
    WriteText(dir / "Template.htm", std::string("%T%\0tail", 8));
    EXPECT_EQ(Write("a.swf"), "a.swf");
    // An unreadable template (a folder of that name) gives the built-in one.
    std::filesystem::remove(dir / "Template.htm");
    std::filesystem::create_directories(dir / "Template.htm");
    EXPECT_EQ(LoadHtmlTemplate(settings), kBuiltInHtmlTemplate);
}

// The UTF-8 declaration of a page with a non-ASCII name goes just after the head's start tag
// whatever its attributes, after the document type when there is no head (never before it),
// and not at all when the template names its character set.
TEST_F(HtmlPageTest, Utf8DeclarationPlace) {
    const std::string meta = "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    const struct {
        const char* templ;
        std::string page;
    } cases[] = {
        {"<!DOCTYPE html>\n<html><head lang=\"en\"><title>%T%</title></head></html>",
         "<!DOCTYPE html>\n<html><head lang=\"en\">" + meta + "<title>\xc3\xa9.swf</title></head></html>"},
        {"<HEAD\n data-x='a>b'><TITLE>%T%</TITLE>", "<HEAD\n data-x='a>b'>" + meta + "<TITLE>\xc3\xa9.swf</TITLE>"},
        {"<!doctype html><header>%T%</header>", "<!doctype html>\r\n" + meta + "<header>\xc3\xa9.swf</header>"},
        {"<head><meta charset=\"iso-8859-1\"></head>%T%", "<head><meta charset=\"iso-8859-1\"></head>\xc3\xa9.swf"},
        {"<head><META http-equiv=\"content-type\" content=\"text/html; CHARSET=windows-1252\"></head>%T%",
         "<head><META http-equiv=\"content-type\" content=\"text/html; CHARSET=windows-1252\"></head>\xc3\xa9.swf"},
    };
    for (const auto& c : cases) {
        WriteText(dir / "Template.htm", c.templ);
        EXPECT_EQ(Write("\xc3\xa9.swf"), c.page) << c.templ;
    }
}

TEST_F(HtmlPageTest, FailedWriteLeavesNoPartialPage) {
    entry.swfPath = (dir / "a.swf").string();
    entry.htmlPath = (dir / "page.htm").string();
    WriteText(entry.htmlPath, "older page");
    // A short write: the file size limit stops the page half-way.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WriteHtmlPage(entry, settings, 1, 1, result);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadText(entry.htmlPath), "older page");
    EXPECT_EQ(CountEntries(dir.Path()), 1);

    entry.htmlPath = "/proc/self/page.htm";  // cannot be created, even by root
    EXPECT_FALSE(WriteHtmlPage(entry, settings, 1, 1, result));
}

}  // namespace
}  // namespace tonvela
