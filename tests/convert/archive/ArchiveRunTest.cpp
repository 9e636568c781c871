// Archive runs split between machines: the shard function, input lists, the resume check and
// the merged report.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <thread>
#include <set>
#include <string>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/archive/FilesFrom.h"
#include "convert/archive/ReportMerge.h"
#include "convert/archive/ResumeCheck.h"
#include "convert/archive/Shard.h"
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

// Files reached twice count once, named by their first name, keyed by their smallest path below
// the first folder given that holds them: the shards of any N partition what a plain run takes.
TEST(Shard, PartitionMergesFilesReachedTwice) {
    CTestTempDir dir;
    const std::string root = (dir / "r").string(), sub = root + "/sub";
    std::filesystem::create_directories(sub);
    WriteText(root + "/a.wav", "A");
    WriteText(sub + "/b.wav", "B");
    std::filesystem::create_hard_link(root + "/a.wav", sub + "/z-hard.wav");
    std::filesystem::create_symlink(sub + "/b.wav", root + "/link.wav");
    // As two overlapping folders given (r, then r/sub) and a missing file given alone list them.
    const std::vector<FoundFile> found = {{sub + "/z-hard.wav", root},    {root + "/a.wav", root},
                                          {root + "/link.wav", root},     {sub + "/b.wav", root},
                                          {sub + "/b.wav", sub},          {sub + "/z-hard.wav", sub},
                                          {"/nowhere/gone.wav", ""},      {"/nowhere/gone.wav", ""}};
    const std::vector<std::string> roots = {root, sub};
    const std::vector<ShardFile> all = PartitionFiles(found, roots, {0, 1});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].path, sub + "/z-hard.wav");  // the name found first
    EXPECT_EQ(all[0].key, "a.wav");               // its smallest key, not "sub/z-hard.wav" or "z-hard.wav"
    EXPECT_EQ(all[1].path, root + "/link.wav");
    EXPECT_EQ(all[1].key, "link.wav");  // the smaller of "link.wav" and "sub/b.wav"
    EXPECT_EQ(all[2].key, "gone.wav");
    for (std::uint32_t n = 2; n <= 16; ++n) {
        std::multiset<std::string> seen;
        for (std::uint32_t k = 0; k < n; ++k)
            for (const ShardFile& f : PartitionFiles(found, roots, {k, n})) {
                seen.insert(f.path);
                EXPECT_EQ(ShardOf(f.key, n), k);
            }
        EXPECT_EQ(seen, (std::multiset<std::string>{sub + "/z-hard.wav", root + "/link.wav", "/nowhere/gone.wav"})) << n;
    }
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
        // Lists written on Windows: a byte-order mark and CR before LF are no part of the names.
        {"\xEF\xBB\xBFtail.wav\r\nb.wav\r\n\r\n", false, {"/base/tail.wav", "/base/b.wav"}},
        {"a\rb.wav\n", false, {"/base/a\rb.wav"}},  // a CR inside a name stays
        {std::string("cr\r\0", 4), true, {"/base/cr\r"}},  // NUL-separated names are taken whole
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
    EXPECT_FALSE(ParseFileList(std::string("ok.wav\na.wav\0b\xff.wav", 19), false, "/base", c, error));
    EXPECT_NE(error.find("--null"), std::string::npos);
    EXPECT_NE(error.find("line 2 holds a NUL byte (\"a.wav\\x00b\\xFF.wav\")"), std::string::npos) << error;

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
    // A FIFO is read as a stream (what find | and <(find) give).
    const auto fifo = dir / "lists/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { WriteText(fifo, "f1.wav\nf2.wav\n"); });
    std::vector<ListedInput> fromFifo;
    EXPECT_TRUE(ReadFileList(fifo.string(), false, "", fromFifo, error)) << error;
    writer.join();
    ASSERT_EQ(fromFifo.size(), 2u);
    EXPECT_EQ(fromFifo[1].path, (dir / "lists/f2.wav").string());
    EXPECT_EQ(fromFifo[1].line, 2u);
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

    // Two reports of one shard: the later run's line for a file counts, and the merge says it
    // saw both (command-line order when the runs' start is not recorded).
    ReportSummary rerun = MergeReports({{"old", true, Header("0/1") + bad1}, {"new", true, Header("0/1") + ok1}});
    EXPECT_EQ(rerun.converted, 1u);
    EXPECT_TRUE(rerun.failures.empty());
    ASSERT_EQ(rerun.problems.size(), 1u);
    EXPECT_EQ(rerun.problems[0], "shard 0/1 has 2 reports (old, new); the later run's line for a file counts");

    // Journals (version 2): the closing line says the run ended.
    auto v2 = [](const char* shard, long long started = 0) {
        return std::string("{\"tonvelaReport\":2,\"shard\":\"") + shard + "\",\"startedNs\":" +
               std::to_string(started) + "}\n";
    };
    const std::string end = "{\"tonvelaReportEnd\":true,\"interrupted\":false}\n";
    const std::string conv1 = "{\"path\":\"/a/1.wav\",\"ok\":true,\"outcome\":\"converted\",\"outputs\":[]}\n";
    const std::string fail1 = "{\"path\":\"/a/1.wav\",\"ok\":false,\"outcome\":\"failed\",\"status\":\"x\"}\n";
    const ReportSummary good = MergeReports({{"j", true, v2("0/1") + conv1 + end}});
    EXPECT_TRUE(good.Ok()) << SummaryText(good);
    EXPECT_EQ(good.converted, 1u);
    // Two journals of one shard: the run that started later wins whatever the order given.
    const ReportSummary later =
        MergeReports({{"b", true, v2("0/1", 20) + conv1 + end}, {"a", true, v2("0/1", 10) + fail1 + end}});
    EXPECT_EQ(later.converted, 1u);
    EXPECT_TRUE(later.failures.empty());

    // Every report that is missing, unreadable, cut, interrupted, foreign or of the wrong
    // shape keeps the merge from passing with a message that names it; none aborts.
    const struct {
        std::vector<ReportFile> reports;
        const char* problem;  // the start of one of the problems
    } cases[] = {
        {{{"r0", true, Header("0/3") + ok1}, {"r2", true, Header("2/3")}}, "missing report: shard 1/3"},
        {{{"r0", true, Header("0/1") + ok1}, {"gone.json", false, ""}}, "report gone.json: cannot be read"},
        {{{"r0", true, Header("0/1", true) + ok1}}, "report r0: the run was interrupted"},
        {{{"r0", true, ok1}}, "report r0: not a tonvela-convert report: line 1: the report's header line is missing"},
        {{{"r0", true, ""}}, "report r0: not a tonvela-convert report: line 1: the report's header line is missing"},
        {{{"r0", true, Header("0/1") + "{\"path\":"}}, "report r0: its last line is cut off"},
        {{{"r0", true, v2("0/1") + conv1}}, "report r0: has no closing line"},  // cut at a line boundary
        {{{"r0", true, v2("0/1")}}, "report r0: has no closing line"},          // header only
        {{{"r0", true, "{\"tonvelaReport\":3,\"shard\":\"0/1\"}\n"}},
         "report r0: not a tonvela-convert report: line 1: unknown report version 3"},
        {{{"r0", true, "{\"tonvelaReport\":\"2\",\"shard\":\"0/1\"}\n"}},
         "report r0: not a tonvela-convert report: line 1: \"tonvelaReport\" is not a version number"},
        {{{"r0", true, Header("0/1") + "{\"path\":\"/a.wav\",\"ok\":\"yes\"}\n"}},
         "report r0: not a tonvela-convert report: line 2: \"ok\" is not true or false"},
        {{{"r0", true, Header("0/1") + "{\"path\":7}\n"}}, "report r0: not a tonvela-convert report: line 2: \"path\" is not a string"},
        {{{"r0", true, Header("0/1") + "{\"ok\":true}\n"}}, "report r0: not a tonvela-convert report: line 2: \"path\" is missing"},
        {{{"r0", true, Header("0/1") + "[1,2]\n"}}, "report r0: not a tonvela-convert report: line 2: not a JSON object"},
        {{{"r0", true, v2("0/1") + "{\"path\":\"/a\",\"ok\":true,\"outcome\":\"done\"}\n" + end}},
         "report r0: not a tonvela-convert report: line 2: unknown outcome \"done\""},
        {{{"r0", true, v2("0/1") + "{\"path\":\"/a\",\"ok\":false,\"outcome\":\"converted\"}\n" + end}},
         "report r0: not a tonvela-convert report: line 2: \"ok\" disagrees with \"outcome\""},
        {{{"r0", true, v2("0/1") + "{\"path\":\"/a\",\"ok\":true,\"outcome\":\"converted\",\"outputs\":{}}\n" + end}},
         "report r0: not a tonvela-convert report: line 2: \"outputs\" is not a list"},
        {{{"r0", true, v2("0/1") + "{\"path\":\"/a\",\"size\":-1}\n" + end}},
         "report r0: not a tonvela-convert report: line 2: \"size\" is not a whole number of 0 or more"},
        {{{"r0", true, v2("0/1") + end + v2("0/2") + end}},
         "report r0: not a tonvela-convert report: line 3: a run of another shard or version continues this report"},
        {{{"r0", true, v2("0/1") + end + conv1}}, "report r0: not a tonvela-convert report: line 3: an entry after the closing line"},
        {{{"a", true, v2("0/1") + conv1 + end}, {"b", true, v2("0/2") + end}, {"c", true, v2("1/2") + end}},
         "the reports split the archive in different ways: N = 1, 2"},
        {{{"a", true, v2("0/2", 1) + end}, {"b", true, v2("1/2", 2) + end}, {"c", true, v2("1/2", 3) + end}},
         "shard 1/2 has 2 reports (b, c)"},
    };
    for (const auto& c : cases) {
        const ReportSummary s = MergeReports(c.reports);
        EXPECT_FALSE(s.Ok()) << c.problem;
        const bool found = std::any_of(s.problems.begin(), s.problems.end(),
                                       [&](const std::string& p) { return p.rfind(c.problem, 0) == 0; });
        EXPECT_TRUE(found) << c.problem << "\n" << SummaryText(s);
    }
}

}  // namespace
}  // namespace tonvela
