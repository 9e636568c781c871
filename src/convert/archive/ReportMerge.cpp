#include "convert/archive/ReportMerge.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "convert/JsonText.h"
#include "convert/archive/ReportReader.h"
#include "convert/archive/Shard.h"
#include "platform/AtomicFile.h"

namespace tonvela {

namespace {

struct FileState {
    bool ok = false;
    bool alreadyDone = false;
    std::string status;
    double seconds = 0;
    std::uint64_t swfBytes = 0;
};

struct ReadReport {
    const ReportFile* file = nullptr;
    std::size_t order = 0;
    ParsedReport parsed;
};

std::string ShardText(const ShardChoice& s) { return std::to_string(s.index) + "/" + std::to_string(s.count); }

}  // namespace

std::vector<ReportFile> ReadReports(const std::vector<std::string>& names) {
    constexpr std::size_t kMaxReportBytes = std::size_t{1} << 30;
    std::vector<ReportFile> reports;
    for (const std::string& name : names) {
        ReportFile r{name, false, {}};
        r.readable = ReadWholeFile(name, kMaxReportBytes, r.text);
        reports.push_back(std::move(r));
    }
    return reports;
}

ReportSummary MergeReports(const std::vector<ReportFile>& reports) {
    ReportSummary summary;
    std::vector<ReadReport> read;
    for (const ReportFile& r : reports) {
        if (!r.readable) {
            summary.problems.push_back("report " + r.name + ": cannot be read");
            continue;
        }
        ReadReport rr{&r, read.size(), {}};
        std::string error;
        if (!ParseReport(r.text, rr.parsed, error)) {
            summary.problems.push_back("report " + r.name + ": not a tonvela-convert report: " + error);
            continue;
        }
        if (rr.parsed.cutLine)
            summary.problems.push_back("report " + r.name + ": its last line is cut off (the run was killed)");
        else if (!rr.parsed.closed && rr.parsed.version >= 2)
            summary.problems.push_back("report " + r.name + ": has no closing line (the run was killed or is still going)");
        else if (rr.parsed.interrupted)
            summary.problems.push_back("report " + r.name + ": the run was interrupted");
        ++summary.reports;
        read.push_back(std::move(rr));
    }
    // Reports of one shard: the later run's line for a file wins, and the merge says it saw both.
    std::stable_sort(read.begin(), read.end(), [](const ReadReport& a, const ReadReport& b) {
        return a.parsed.startedNs < b.parsed.startedNs;
    });
    std::map<std::uint32_t, std::map<std::uint32_t, std::vector<std::string>>> shards;  // N -> K -> reports
    for (const ReadReport& r : read) shards[r.parsed.shard.count][r.parsed.shard.index].push_back(r.file->name);
    if (shards.size() > 1) {
        std::string counts;
        for (const auto& [n, ks] : shards) counts += (counts.empty() ? "" : ", ") + std::to_string(n);
        summary.problems.push_back("the reports split the archive in different ways: N = " + counts);
    }
    for (const auto& [n, ks] : shards) {
        for (std::uint32_t k = 0; k < n; ++k) {
            const auto it = ks.find(k);
            if (it == ks.end()) {
                summary.problems.push_back("missing report: shard " + ShardText({k, n}));
            } else if (it->second.size() > 1) {
                std::string names;
                for (const std::string& name : it->second) names += (names.empty() ? "" : ", ") + name;
                summary.problems.push_back("shard " + ShardText({k, n}) + " has " + std::to_string(it->second.size()) +
                                           " reports (" + names + "); the later run's line for a file counts");
            }
        }
    }
    std::map<std::string, FileState> files;
    for (const ReadReport& r : read) {
        for (const ReportEntry& e : r.parsed.entries) {
            if (e.named) continue;
            FileState& s = files[e.path];
            s.ok = e.Ok();
            s.alreadyDone = e.outcome == EntryOutcome::AlreadyDone;
            s.status = e.status;
            s.seconds = e.seconds;
            s.swfBytes = e.swfBytes;
        }
    }
    for (const auto& [path, s] : files) {
        if (!s.ok) {
            summary.failures.push_back({path, s.status.empty() ? "not converted" : s.status});
            continue;
        }
        ++(s.alreadyDone ? summary.alreadyDone : summary.converted);
        summary.audioSeconds += s.seconds;
        summary.swfBytes += s.swfBytes;
    }
    return summary;
}

std::string SummaryText(const ReportSummary& s) {
    char hours[32];
    std::snprintf(hours, sizeof hours, "%.2f", s.audioSeconds / 3600.0);
    std::string t = "reports: " + std::to_string(s.reports) + "\n";
    t += "files converted: " + std::to_string(s.converted) + "\n";
    t += "files already done: " + std::to_string(s.alreadyDone) + "\n";
    t += "files failed: " + std::to_string(s.failures.size()) + "\n";
    for (const ReportFailure& f : s.failures) t += "  " + f.path + ": " + f.status + "\n";
    t += "audio hours: " + std::string(hours) + "\n";
    t += "SWF bytes: " + std::to_string(s.swfBytes) + "\n";
    for (const std::string& p : s.problems) t += p + "\n";
    return t;
}

std::string SummaryJson(const ReportSummary& s) {
    std::string failures = "[";
    for (const ReportFailure& f : s.failures) {
        if (failures.size() > 1) failures += ',';
        failures += "{\"path\":" + JsonQuote(f.path) + ",\"status\":" + JsonQuote(f.status) + "}";
    }
    std::string problems = "[";
    for (const std::string& p : s.problems) {
        if (problems.size() > 1) problems += ',';
        problems += JsonQuote(p);
    }
    return "{\"ok\":" + std::string(s.Ok() ? "true" : "false") + ",\"reports\":" + std::to_string(s.reports) +
           ",\"converted\":" + std::to_string(s.converted) + ",\"alreadyDone\":" + std::to_string(s.alreadyDone) +
           ",\"failed\":" + failures + "],\"audioSeconds\":" + nlohmann::json(s.audioSeconds).dump() +
           ",\"swfBytes\":" + std::to_string(s.swfBytes) + ",\"problems\":" + problems + "]}";
}

}  // namespace tonvela
