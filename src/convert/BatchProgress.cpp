#include "convert/BatchProgress.h"

#include <algorithm>

namespace tonvela {

void CBatchProgress::Begin(std::size_t index, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Find(index) == nullptr) {
        const auto at = std::lower_bound(running_.begin(), running_.end(), index,
                                         [](const Running& r, std::size_t i) { return r.index < i; });
        running_.insert(at, Running{index, {}, 0});
    }
    Running* r = Find(index);
    r->text = "Converting " + name + "...0%";
    r->bar = 0;
    lastOverall_ = OverallTextLocked();
    ++version_;
}

void CBatchProgress::SetText(std::size_t index, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    Running* r = Find(index);
    if (r == nullptr || r->text == text) return;
    r->text = text;
    ++version_;
}

void CBatchProgress::SetBar(std::size_t index, int pos, int max) {
    const int bar = max > 0 ? static_cast<int>(std::int64_t{std::clamp(pos, 0, max)} * kBatchBarMax / max) : 0;
    std::lock_guard<std::mutex> lock(mutex_);
    Running* r = Find(index);
    if (r == nullptr || r->bar == bar) return;
    r->bar = bar;
    ++version_;
}

void CBatchProgress::Finish(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(running_.begin(), running_.end(), [&](const Running& r) { return r.index == index; });
    if (it == running_.end()) return;
    running_.erase(it);
    finished_ = std::min(finished_ + 1, total_);
    if (!running_.empty()) lastOverall_ = OverallTextLocked();
    ++version_;
}

BatchProgressView CBatchProgress::View() const {
    std::lock_guard<std::mutex> lock(mutex_);
    BatchProgressView v;
    v.total = total_;
    v.finished = finished_;
    std::int64_t work = std::int64_t{kBatchBarMax} * static_cast<std::int64_t>(finished_);
    for (const Running& r : running_) {
        v.running.push_back({r.index, r.text, r.bar});
        work += r.bar;
    }
    v.overallText = lastOverall_;
    v.overallBar = total_ == 0 ? 0
                               : static_cast<int>(std::min<std::int64_t>(
                                     work / static_cast<std::int64_t>(total_), kBatchBarMax));
    return v;
}

std::uint64_t CBatchProgress::Version() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return version_;
}

CBatchProgress::Running* CBatchProgress::Find(std::size_t index) {
    for (Running& r : running_)
        if (r.index == index) return &r;
    return nullptr;
}

// One file at a time reads as before ("Converting 2 of 4 ..."); several name each running file.
std::string CBatchProgress::OverallTextLocked() const {
    std::string which;
    for (const Running& r : running_) {
        if (!which.empty()) which += ", ";
        which += std::to_string(r.index + 1);
    }
    return "Converting " + which + " of " + std::to_string(total_) + " file(s) into SWF...";
}

}  // namespace tonvela
