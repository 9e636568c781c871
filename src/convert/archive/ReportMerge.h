// One summary from the JSON reports of the shards of an archive run (--json-out, then
// --merge-reports), for a job's last step: was everything converted, and what failed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela {

struct ReportFile {
    std::string name;
    bool readable = false;
    std::string text;
};

struct ReportFailure {
    std::string path;
    std::string status;
};

struct ReportSummary {
    std::size_t reports = 0;  // reports read
    std::size_t converted = 0;
    std::size_t alreadyDone = 0;
    std::vector<ReportFailure> failures;
    double audioSeconds = 0;  // of the converted and already done files
    std::uint64_t swfBytes = 0;
    // Why the reports do not cover the whole run: missing shards, unreadable or interrupted reports.
    std::vector<std::string> problems;
    bool Ok() const { return failures.empty() && problems.empty(); }
};

// Reads the named files (a file that cannot be read is kept as unreadable).
std::vector<ReportFile> ReadReports(const std::vector<std::string>& names);

// Merges reports. A file listed by several reports counts once: the line of the latest run
// counts. Every shard K of the N named by the headers must have exactly one report, all of
// one N, each complete (its closing line there, not interrupted); a report that does not read
// is a problem with its line named.
ReportSummary MergeReports(const std::vector<ReportFile>& reports);

std::string SummaryText(const ReportSummary& summary);
std::string SummaryJson(const ReportSummary& summary);

}  // namespace tonvela
