// Reading a run's report or journal (--json-out) back: for the merge of shards and for resumed
// runs. Every field is checked for its type; a report that does not read is an error with the
// line that stops it, never an exception or an abort.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/EntryResult.h"
#include "convert/archive/Shard.h"

namespace tonvela {

struct ReportEntry {
    std::size_t line = 0;  // 1-based line number in the report
    // A "named" line: the entry's output names were chosen, nothing was finished yet.
    bool named = false;
    std::string path;
    std::string rel;
    bool stamped = false;  // size and mtimeNs hold the source's stamp
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::string settings;  // the settings fingerprint ("" in reports of version 1)
    EntryOutcome outcome = EntryOutcome::Failed;
    std::string status;
    double seconds = 0;
    std::uint64_t swfBytes = 0;
    std::vector<EntryOutputFile> outputs;  // sizes 0 on named lines
    // The probed columns (0 when not recorded), so that a file found done need not be opened.
    int channels = 0, sampleRate = 0, bitRate = 0, kind = 0;
    bool Ok() const { return outcome == EntryOutcome::Converted || outcome == EntryOutcome::AlreadyDone; }
};

struct ParsedReport {
    int version = 0;
    ShardChoice shard;
    std::int64_t startedNs = 0;  // of the first run that wrote it (0 when not recorded)
    // The last run that wrote it ended with its closing line and was not interrupted. A
    // report of version 1 (written whole at the end) is closed unless its header says otherwise.
    bool closed = false;
    bool interrupted = false;
    bool cutLine = false;  // the last line has no end: the run was killed while writing it (left out)
    std::size_t runs = 0;  // header lines: a continued journal holds one per run
    std::vector<ReportEntry> entries;
};

// False with the reason in error ("line N: ...") for text that is no report: no header, an
// unknown version, a line that is not a JSON object, a field of the wrong type, runs of
// different shards in one report.
bool ParseReport(std::string_view text, ParsedReport& report, std::string& error);

}  // namespace tonvela
