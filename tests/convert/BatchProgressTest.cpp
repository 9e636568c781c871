// The batch's progress model: several files at once, each with its own line and bar, and an
// overall bar that counts finished work including the running files' parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "convert/BatchProgress.h"
#include "convert/ProgressLines.h"

namespace tonvela {
namespace {

std::vector<std::string> Texts(const BatchProgressView& v) {
    std::vector<std::string> t;
    for (const auto& f : v.running) t.push_back(f.text);
    return t;
}

TEST(BatchProgressTest, ThreeFilesAtOnce) {
    CBatchProgress p(4);
    p.Begin(2, "c.wav");
    p.Begin(0, "a.wav");
    p.Begin(1, "b.wav");
    p.SetText(0, "Converting a.wav...50%");
    p.SetBar(0, 228, 456);  // half of a bar 456 pixels wide
    p.SetBar(1, 1, 4);
    BatchProgressView v = p.View();
    // One line per running file, in batch order, however they started.
    EXPECT_EQ(Texts(v), (std::vector<std::string>{"Converting a.wav...50%", "Converting b.wav...0%",
                                                  "Converting c.wav...0%"}));
    EXPECT_EQ(v.running[0].bar, 500);
    EXPECT_EQ(v.running[1].bar, 250);
    EXPECT_EQ(v.overallText, "Converting 1, 2, 3 of 4 file(s) into SWF...");
    EXPECT_EQ(v.overallBar, (500 + 250 + 0) / 4);  // nothing finished, yet not empty
    EXPECT_EQ(v.finished, 0u);

    // A finished file leaves its line at once (no "...100%" that stays) and counts whole.
    p.SetBar(1, 4, 4);
    p.Finish(1);
    v = p.View();
    EXPECT_EQ(Texts(v), (std::vector<std::string>{"Converting a.wav...50%", "Converting c.wav...0%"}));
    EXPECT_EQ(v.overallText, "Converting 1, 3 of 4 file(s) into SWF...");
    EXPECT_EQ(v.overallBar, (1000 + 500) / 4);
    p.Begin(3, "d.wav");
    EXPECT_EQ(p.View().overallText, "Converting 1, 3, 4 of 4 file(s) into SWF...");

    for (std::size_t i : {0u, 2u, 3u}) p.Finish(i);
    v = p.View();
    EXPECT_TRUE(v.running.empty());
    EXPECT_EQ(v.finished, 4u);
    EXPECT_EQ(v.overallBar, kBatchBarMax);
    // Finishing again, or a file never begun, changes nothing.
    const std::uint64_t version = p.Version();
    p.Finish(2);
    p.SetBar(7, 1, 2);
    EXPECT_EQ(p.Version(), version);
    EXPECT_EQ(p.View(), v);
}

// One file at a time: the usual overall line, and the overall bar includes the running
// file's part (file 1 of 2 at 44 % is 22 % of the batch, not 50 % and not 0).
TEST(BatchProgressTest, OneAtATimeCountsTheRunningPart) {
    CBatchProgress p(2);
    p.Begin(0, "one.wav");
    p.SetBar(0, 44, 100);
    EXPECT_EQ(p.View().overallText, "Converting 1 of 2 file(s) into SWF...");
    EXPECT_EQ(p.View().overallBar, 220);
    p.Finish(0);
    // Between two files the line keeps naming the last one.
    EXPECT_EQ(p.View().overallText, "Converting 1 of 2 file(s) into SWF...");
    EXPECT_EQ(p.View().overallBar, 500);
    // Positions outside the range are held to it; a range of 0 shows nothing done.
    p.Begin(1, "two.wav");
    p.SetBar(1, 900, 100);
    EXPECT_EQ(p.View().running[0].bar, kBatchBarMax);
    p.SetBar(1, 5, 0);
    EXPECT_EQ(p.View().running[0].bar, 0);
}

// Three workers report at once while another thread reads: the overall bar never goes back.
TEST(BatchProgressTest, ConcurrentWorkersNeverMoveTheOverallBarBack) {
    constexpr std::size_t kFiles = 9;
    CBatchProgress p(kFiles);
    std::vector<std::jthread> workers;
    for (std::size_t w = 0; w < 3; ++w)
        workers.emplace_back([&p, w] {
            for (std::size_t i = w; i < kFiles; i += 3) {
                p.Begin(i, "f" + std::to_string(i));
                for (int pos = 0; pos <= 200; ++pos) p.SetBar(i, pos, 200);
                p.Finish(i);
            }
        });
    int last = 0;
    for (;;) {
        const BatchProgressView v = p.View();
        ASSERT_GE(v.overallBar, last);
        ASSERT_LE(v.running.size(), 3u);
        last = v.overallBar;
        if (v.finished == kFiles) break;
        std::this_thread::yield();
    }
    EXPECT_EQ(last, kBatchBarMax);
}

TEST(BatchProgressTest, TerminalLines) {
    BatchProgressView v;
    v.total = 4;
    v.finished = 1;
    v.overallText = "Converting 2, 3 of 4 file(s) into SWF...";
    v.overallBar = 375;
    v.running = {{1, "Converting b.wav...50%", 500}, {2, "Converting \xC3\xA9t\xC3\xA9.wav...0%", 0}};
    const std::vector<std::string> lines = ProgressLines(v, 200);
    ASSERT_EQ(lines.size(), 3u);
    // 375/1000 of 20 characters is 7 filled.
    EXPECT_EQ(lines[0], "[#######             ]  37% 1/4 done  Converting 2, 3 of 4 file(s) into SWF...");
    EXPECT_EQ(lines[1], "  [##########          ] Converting b.wav...50%");
    EXPECT_EQ(lines[2], "  [                    ] Converting \xC3\xA9t\xC3\xA9.wav...0%");
    // Cut to the terminal's width, never inside a UTF-8 sequence: "é" is two bytes at 35..36.
    const std::vector<std::string> narrow = ProgressLines(v, 36);
    EXPECT_EQ(narrow[2], "  [                    ] Converting ");
    EXPECT_EQ(narrow[0].size(), 36u);
}

}  // namespace
}  // namespace tonvela
