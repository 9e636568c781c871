#include "convert/ProgressLines.h"

#include <algorithm>

#include "platform/TerminalText.h"

namespace tonvela {

namespace {

constexpr int kBarChars = 20;

std::string Bar(int value) {
    const int filled = std::clamp(value, 0, kBatchBarMax) * kBarChars / kBatchBarMax;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarChars - filled), ' ') + "]";
}

void Cut(std::string& line, std::size_t columns) {
    if (line.size() <= columns) return;
    std::size_t cut = columns;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line.resize(cut);
}

}  // namespace

std::vector<std::string> ProgressLines(const BatchProgressView& view, std::size_t columns) {
    std::vector<std::string> lines;
    std::string percent = std::to_string(view.overallBar / 10) + "%";
    percent.insert(0, 4 - std::min<std::size_t>(percent.size(), 4), ' ');
    lines.push_back(Bar(view.overallBar) + " " + percent + " " + std::to_string(view.finished) + "/" +
                    std::to_string(view.total) + " done  " + TerminalText(view.overallText));
    for (const RunningFileView& f : view.running) lines.push_back("  " + Bar(f.bar) + " " + TerminalText(f.text));
    for (std::string& l : lines) Cut(l, columns);
    return lines;
}

}  // namespace tonvela
