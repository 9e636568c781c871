// Converts a list of file-list entries into SWF files (and HTML pages): the template is
// prepared once, then each entry gets its output names, its MP3, its SWF files and its page,
// and its status in the list. Front ends take part through CBatchUi.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "convert/BatchUi.h"
#include "convert/FileListEntry.h"
#include "platform/ThreadStarter.h"

namespace tonvela {

class CConvertOptions;

struct BatchItem {
    BatchItem() = default;
    BatchItem(CFileListEntry* e, std::size_t r, std::string base = {})
        : entry(e), row(r), recordedBase(std::move(base)) {}
    CFileListEntry* entry = nullptr;
    std::size_t row = 0;  // the entry's row in the list, for its status
    // The outputs an earlier run recorded for the entry (a path without extension): they are
    // replaced rather than new names chosen (see NameAsRecorded). Empty: named as usual.
    std::string recordedBase;
};

struct BatchOutcome {
    bool started = false;    // false: the template was missing or invalid (a message was shown)
    bool cancelled = false;
    std::size_t converted = 0;  // entries converted with every output asked for
    std::size_t failed = 0;     // the others (a SWF without its page too), "Cancelled" included
};

// Converts the items in order. jobs > 1 converts that many entries at once on worker threads
// (each with its own template copy, encoder and temporary files); names are still given in
// input order, statuses are reported in input order, and the result equals a run with jobs 1.
// Fewer workers run when the system refuses to start some (none: the batch runs on this
// thread); start: how they are started (tests).
BatchOutcome ConvertBatch(const std::vector<BatchItem>& items, const CConvertOptions& settings, CBatchUi& ui,
                          int jobs = 1, const ThreadStarter& start = {});

inline constexpr const char* kStatusConverting = "Converting...";
inline constexpr const char* kStatusFailure = "Conversion Failure";
inline constexpr const char* kStatusCancelled = "Cancelled";

}  // namespace tonvela
