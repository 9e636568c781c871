// Archive runs split between machines: the shard function, input lists, the resume check and
// the merged report.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/FilesFrom.h"
#include "convert/ReportMerge.h"
#include "convert/ResumeCheck.h"
#include "convert/Shard.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CTestTempDir;
using test::WriteText;

std::vector<std::string> Names(int from, int to) {
    std::vector<std::string> v;
    for (int i = from; i < to; ++i) v.push_back("disc" + std::to_string(i % 7) + "/track " + std::to_string(i) + ".wav");
    return v;
}

TEST(Shard, SpecParsing) {
    const struct {
        const char* text;
        bool ok;
        std::uint32_t k, n;
    } cases[] = {{"0/1", true, 0, 1}, {"3/16", true, 3, 16}, {"15/16", true, 15, 16}, {"16/16", false, 0, 0},
                 {"0/0", false, 0, 0}, {"-1/4", false, 0, 0}, {"1/4x", false, 0, 0}, {"1 /4", false, 0, 0},
                 {"/4", false, 0, 0},  {"4", false, 0, 0},     {"1/99999999999", false, 0, 0}};
    for (const auto& c : cases) {
        ShardChoice choice{7, 9};
        EXPECT_EQ(ParseShardChoice(c.text, choice), c.ok) << c.text;
        if (c.ok) {
            EXPECT_TRUE(choice.index == c.k && choice.count == c.n) << c.text;
        } else {
            EXPECT_TRUE(choice.index == 7 && choice.count == 9) << c.text;
        }
    }
}

// Values from a separate implementation of the same hash; a change would move the files of
// archives already half converted to other shards.
TEST(Shard, ValuesAreFixed) {
    EXPECT_EQ(ShardOf("a.wav", 16), 3u);
    EXPECT_EQ(ShardOf("jazz/1958/side a.flac", 16), 10u);
    EXPECT_EQ(ShardOf("caf\xc3\xa9.mp3", 1000003), 683797u);
    EXPECT_EQ(ShardOf("./jazz//1958/./side a.flac", 16), 10u);
    EXPECT_EQ(ShardOf("anything", 1), 0u);
}

TEST(Shard, SplitDependsOnlyOnThePathBelowTheFolder) {
    const std::vector<std::string> names = Names(0, 400);
    for (const std::uint32_t n : {2u, 4u, 16u}) {
        std::map<std::string, std::uint32_t> first;
        std::vector<std::size_t> sizes(n);
        for (const auto& name : names) {
            // The same archive mounted at two places gives the same shard.
            const std::uint32_t a = ShardOf(ShardKey("/mnt/archive/" + name, "/mnt/archive"), n);
            const std::uint32_t b = ShardOf(ShardKey("/srv/nfs/radio/" + name, "/srv/nfs/radio/"), n);
            EXPECT_EQ(a, b) << name;
            first[name] = a;
            ++sizes[a];
        }
        // Every file lands in exactly one shard, and KeepShard over all K partitions the list,
        // whatever the list order.
        std::vector<std::string> reversed(names.rbegin(), names.rend());
        std::multiset<std::string> union_;
        for (std::uint32_t k = 0; k < n; ++k) {
            std::vector<std::string> paths{"/x/unrelated.wav"};
            for (const auto& name : reversed) paths.push_back("/mnt/archive/" + name);
            KeepShard(paths, 1, "/mnt/archive", {k, n});
            EXPECT_EQ(paths.front(), "/x/unrelated.wav");  // before `first`: untouched
            for (std::size_t i = 1; i < paths.size(); ++i) union_.insert(paths[i].substr(13));
            EXPECT_EQ(paths.size() - 1, sizes[k]);
        }
        EXPECT_EQ(union_, std::multiset<std::string>(names.begin(), names.end()));
        // Roughly even: no shard below half its share.
        for (std::size_t s : sizes) EXPECT_GT(s, names.size() / n / 2) << n;
        // Adding files to the folder moves none of the old ones: the kept list grows only by new names.
        std::vector<std::string> grown;
        for (const auto& name : Names(0, 800)) grown.push_back("/a/" + name);
        KeepShard(grown, 0, "/a", {0, n});
        for (const auto& p : grown) {
            const std::string name = p.substr(3);
            if (first.count(name)) {
                EXPECT_EQ(first[name], 0u) << name;
            }
        }
        EXPECT_EQ(std::count_if(grown.begin(), grown.end(), [&](const std::string& p) { return first.count(p.substr(3)); }),
                  static_cast<long>(sizes[0]));
    }
    // A file given alone splits by its name; a path outside the root too.
    EXPECT_EQ(ShardKey("/music/a b.wav", ""), "a b.wav");
    EXPECT_EQ(ShardKey("/music/a.wav", "/other"), "a.wav");
    EXPECT_EQ(ShardKey("/musicx/a.wav", "/music"), "a.wav");
    EXPECT_EQ(ShardKey("/music/a.wav", "/"), "music/a.wav");
}

TEST(FilesFrom, LinesNulSeparatedAndRelative) {
    const struct {
        std::string text;
        bool nul;
        std::vector<std::string> paths;
    } cases[] = {
        {"a b.wav\n./sub/c.mp3\n\n/abs/d.wav\nsub/../e.wav", false,
         {"/base/a b.wav", "/base/sub/c.mp3", "/abs/d.wav", "/base/e.wav"}},
        {std::string("new\nline.wav\0./x y.wav\0\0", 22), true, {"/base/new\nline.wav", "/base/x y.wav"}},
        {"tail.wav\r\n", false, {"/base/tail.wav\r"}},  // a file name may end in CR
        {"", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<ListedInput> got;
        std::string error;
        ASSERT_TRUE(ParseFileList(c.text, c.nul, "/base/", got, error)) << error;
        std::vector<std::string> paths;
        for (const auto& g : got) paths.push_back(g.path);
        EXPECT_EQ(paths, c.paths);
    }
    // "find /base" and "cd /base; find ." lists split alike; a line outside the base splits by name.
    std::vector<ListedInput> a, b;
    std::string error;
    ASSERT_TRUE(ParseFileList("/base/x/1.wav\n/elsewhere/2.wav\n", false, "/base", a, error));
    ASSERT_TRUE(ParseFileList("./x/1.wav\n", false, "/base", b, error));
    EXPECT_EQ(ShardKey(a[0].path, a[0].root), "x/1.wav");
    EXPECT_EQ(ShardKey(b[0].path, b[0].root), "x/1.wav");
    EXPECT_EQ(ShardKey(a[1].path, a[1].root), "2.wav");
    // A NUL byte in a line list was meant for --null.
    std::vector<ListedInput> c;
    EXPECT_FALSE(ParseFileList(std::string("a.wav\0b.wav", 11), false, "/base", c, error));
    EXPECT_NE(error.find("--null"), std::string::npos);

    // Read from a file: relative lines are relative to the list's folder unless a base is given.
    CTestTempDir dir;
    std::filesystem::create_directories(dir / "lists");
    WriteText(dir / "lists/l.txt", "s.wav\n");
    std::vector<ListedInput> fromFile, withBase;
    ASSERT_TRUE(ReadFileList((dir / "lists/l.txt").string(), false, "", fromFile, error));
    ASSERT_TRUE(ReadFileList((dir / "lists/l.txt").string(), false, (dir / "m").string(), withBase, error));
    EXPECT_EQ(fromFile.at(0).path, (dir / "lists/s.wav").string());
    EXPECT_EQ(withBase.at(0).path, (dir / "m/s.wav").string());
    EXPECT_FALSE(ReadFileList((dir / "missing.txt").string(), false, "", fromFile, error));
}

void SetMtime(const std::filesystem::path& p, long seconds) {
    struct timespec t[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), t, 0), 0);
}

TEST(ResumeCheck, CompleteOnlyWithEveryOutputNonEmptyAndNewer) {
    CTestTempDir dir;
    CConvertOptions options(dir.Path());
    options.CreateHtmlFile = 1;
    const auto src = dir / "a.wav";
    WriteText(src, "RIFF");
    SetMtime(src, 1000);
    PlannedOutputs planned;
    EXPECT_FALSE(OutputsComplete(src, options, planned));
    EXPECT_EQ(planned.swfPath, (dir / "a.swf").string());
    EXPECT_EQ(planned.htmlPath, (dir / "a.htm").string());
    EXPECT_EQ(planned.playerSwfPath, "");

    WriteText(dir / "a.swf", "FWS");
    EXPECT_FALSE(OutputsComplete(src, options, planned)) << "the page is missing";
    WriteText(dir / "a.htm", "");
    EXPECT_FALSE(OutputsComplete(src, options, planned)) << "an empty page is never complete";
    ReleaseAbandonedClaims(planned);
    // An empty file without a claim's mark is somebody's own file, not a dead run's claim.
    EXPECT_TRUE(std::filesystem::exists(dir / "a.htm"));
    EXPECT_TRUE(std::filesystem::exists(dir / "a.swf"));  // not a claim: kept
    WriteText(dir / "a.htm", "<HTML>");
    EXPECT_TRUE(OutputsComplete(src, options, planned));
    SetMtime(dir / "a.swf", 1000);
    EXPECT_FALSE(OutputsComplete(src, options, planned)) << "not newer than the source";
    SetMtime(dir / "a.swf", 1001);
    options.CreateHtmlFile = 0;
    std::filesystem::remove(dir / "a.htm");
    EXPECT_TRUE(OutputsComplete(src, options, planned)) << "a page not asked for is not needed";

    // The places of the other output modes, below the custom folder with the source's folders.
    options.SWFOutputFolderOpt = kOutputCustomFolder;
    options.SWFSpecifiedFolder = (dir / "out").string();
    options.CreateDirs = 1;
    options.CreateCtrlSWF = 1;
    options.ButtonSWFType = kButtonShellPlayer;
    EXPECT_FALSE(OutputsComplete(src, options, planned));
    const std::string below = (dir / "out").string() + src.parent_path().string() + "/a";
    EXPECT_EQ(planned.swfPath, below + ".swf");
    EXPECT_EQ(planned.playerSwfPath, below + ".player.swf");
    EXPECT_FALSE(std::filesystem::exists(dir / "out")) << "the check creates nothing";
    options.SWFOutputFolderOpt = kOutputFolderPerSwf;
    EXPECT_FALSE(OutputsComplete(src, options, planned));
    EXPECT_EQ(planned.swfPath, (dir / "a/a.swf").string());
}

std::string Header(const char* shard, bool interrupted = false) {
    return std::string("{\"tonvelaReport\":1,\"shard\":\"") + shard + "\",\"interrupted\":" +
           (interrupted ? "true" : "false") + ",\"settings\":{}}\n";
}

TEST(ReportMerge, SummaryOfShards) {
    const std::string ok1 =
        "{\"path\":\"/a/1.wav\",\"ok\":true,\"status\":\"1.swf\",\"alreadyDone\":false,\"swfBytes\":100,"
        "\"durationSeconds\":1800}\n";
    const std::string done2 =
        "{\"path\":\"/a/2.wav\",\"ok\":true,\"status\":\"Already converted\",\"alreadyDone\":true,"
        "\"swfBytes\":50,\"durationSeconds\":1800}\n";
    const std::string bad3 =
        "{\"path\":\"/a/caf\\udce9.wav\",\"ok\":false,\"status\":\"Failed to load\",\"alreadyDone\":false,\"swfBytes\":0,"
        "\"durationSeconds\":null}\n";
    const std::string bad1 =
        "{\"path\":\"/a/1.wav\",\"ok\":false,\"status\":\"Cancelled\",\"alreadyDone\":false,\"swfBytes\":0,"
        "\"durationSeconds\":3}\n";

    ReportSummary all = MergeReports({{"r0", true, Header("0/2") + ok1 + bad3}, {"r1", true, Header("1/2") + done2}});
    EXPECT_EQ(all.reports, 2u);
    EXPECT_EQ(all.converted, 1u);
    EXPECT_EQ(all.alreadyDone, 1u);
    ASSERT_EQ(all.failures.size(), 1u);
    EXPECT_EQ(all.failures[0].path, "/a/caf\xe9.wav");  // the file name's own bytes
    EXPECT_EQ(all.failures[0].status, "Failed to load");
    EXPECT_DOUBLE_EQ(all.audioSeconds, 3600);
    EXPECT_EQ(all.swfBytes, 150u);
    EXPECT_TRUE(all.problems.empty());
    EXPECT_FALSE(all.Ok());
    EXPECT_NE(SummaryText(all).find("audio hours: 1.00\n"), std::string::npos);
    // A non-UTF-8 path keeps its bytes through the merge and comes out escaped the same way.
    EXPECT_NE(SummaryJson(all).find("\\udce9"), std::string::npos) << SummaryJson(all);

    // A file failed in one run and done in a rerun of its shard counts as done, once.
    ReportSummary rerun = MergeReports({{"old", true, Header("0/1") + bad1}, {"new", true, Header("0/1") + ok1}});
    EXPECT_TRUE(rerun.Ok());
    EXPECT_EQ(rerun.converted, 1u);

    // Missing, unreadable, interrupted and foreign reports each keep the merge from passing.
    const struct {
        std::vector<ReportFile> reports;
        const char* problem;
    } cases[] = {
        {{{"r0", true, Header("0/3") + ok1}, {"r2", true, Header("2/3")}}, "missing report: shard 1/3"},
        {{{"r0", true, Header("0/1") + ok1}, {"gone.json", false, ""}}, "report gone.json: cannot be read"},
        {{{"r0", true, Header("0/1", true) + ok1}}, "report r0: the run was interrupted"},
        {{{"r0", true, ok1}}, "report r0: not a tonvela-convert report"},
        {{{"r0", true, Header("0/1") + "{\"path\":"}}, "report r0: not a tonvela-convert report"},
    };
    for (const auto& c : cases) {
        const ReportSummary s = MergeReports(c.reports);
        EXPECT_FALSE(s.Ok()) << c.problem;
        EXPECT_NE(std::find(s.problems.begin(), s.problems.end(), std::string(c.problem)), s.problems.end())
            << c.problem << "\n" << SummaryText(s);
    }
}

}  // namespace
}  // namespace tonvela
