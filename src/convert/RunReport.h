// The report file of one run (--json-out): a header line naming the run, then the run's JSON
// lines, written in one piece at the end so that a report is either complete or absent.
#pragma once

#include <string>
#include <vector>

#include "convert/Shard.h"

namespace tonvela {

class CConvertOptions;

// The key that marks a report's header line.
inline constexpr const char* kReportHeaderKey = "tonvelaReport";

// {"tonvelaReport":1,"version":...,"shard":"K/N","host":...,"interrupted":...,"settings":{NAME:VALUE,...}}
std::string ReportHeaderLine(const ShardChoice& shard, bool interrupted, const CConvertOptions& options,
                             const std::string& version);

// Writes the header and the lines, each ended by "\n", atomically to path; the folder is
// created when missing. False with the reason in error.
bool WriteRunReport(const std::string& path, const std::string& header, const std::vector<std::string>& lines,
                    std::string& error);

}  // namespace tonvela
