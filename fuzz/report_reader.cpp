// libFuzzer target: any bytes as a run's report or journal. The reader never throws or reads
// outside the text; what it accepts is consistent, and the merge of it never aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "convert/archive/ReportMerge.h"
#include "convert/archive/ReportReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tonvela::ParsedReport report;
    std::string error;
    const bool ok = tonvela::ParseReport(text, report, error);
    if (ok != error.empty()) std::abort();  // a refusal always says why, an accepted report never
    if (ok) {
        if (report.runs == 0 || report.shard.count == 0 || report.shard.index >= report.shard.count) std::abort();
        std::size_t last = 0;
        for (const tonvela::ReportEntry& e : report.entries) {
            if (e.path.empty() || e.line <= last) std::abort();
            last = e.line;
        }
    }
    const tonvela::ReportSummary summary = tonvela::MergeReports({{"fuzz", true, std::string(text)}});
    if (ok != (summary.reports == 1)) std::abort();  // the merge reads it exactly when the reader does
    return 0;
}
