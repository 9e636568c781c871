// How far a batch is, whatever number of files run at once: one line and bar per running file
// and an overall bar that counts the finished files plus the running files' parts. Workers
// write into it from their threads; the batch's own thread reads a view and hands it to the
// front end (the progress window or the terminal).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tonvela {

// Bars of the view run from 0 to this.
inline constexpr int kBatchBarMax = 1000;

struct RunningFileView {
    std::size_t index = 0;  // position in the batch, from 0
    std::string text;       // "Converting %s...%d%%"
    int bar = 0;            // 0 .. kBatchBarMax
    bool operator==(const RunningFileView&) const = default;
};

struct BatchProgressView {
    std::size_t total = 0;
    std::size_t finished = 0;
    std::vector<RunningFileView> running;  // in batch order
    std::string overallText;               // "Converting %s of %d file(s) into SWF..."
    int overallBar = 0;                    // 0 .. kBatchBarMax: finished work, running parts included
    bool operator==(const BatchProgressView&) const = default;
};

class CBatchProgress {
public:
    explicit CBatchProgress(std::size_t total) : total_(total) {}

    // File index starts: its line reads "Converting <name>...0%" and its bar is empty.
    void Begin(std::size_t index, const std::string& name);
    // What the file's conversion reports: its line, and its bar as pos of 0 .. max.
    void SetText(std::size_t index, const std::string& text);
    void SetBar(std::size_t index, int pos, int max);
    // File index is done, however it ended: its line goes, and it counts as finished work.
    void Finish(std::size_t index);

    BatchProgressView View() const;
    // Grows with every change that a view shows; a front end redraws only when it moved.
    std::uint64_t Version() const;

private:
    struct Running {
        std::size_t index;
        std::string text;
        int bar;
    };
    Running* Find(std::size_t index);
    std::string OverallTextLocked() const;

    mutable std::mutex mutex_;
    std::size_t total_;
    std::size_t finished_ = 0;
    std::vector<Running> running_;
    std::string lastOverall_;  // kept while nothing runs (between two files)
    std::uint64_t version_ = 0;
};

}  // namespace tonvela
