// Converts a list of file-list entries into SWF files (and HTML pages): the template is
// prepared once, then each entry gets its output names, its MP3, its SWF files and its page,
// and its status in the list. Front ends take part through CBatchUi.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/BatchUi.h"
#include "convert/FileListEntry.h"
#include "platform/ThreadStarter.h"

namespace tonvela {

class CConvertOptions;

struct BatchItem {
    CFileListEntry* entry = nullptr;
    std::size_t row = 0;  // the entry's row in the list, for its status
};

struct BatchOutcome {
    bool started = false;    // false: the template was missing or invalid (a message was shown)
    bool cancelled = false;
    std::size_t converted = 0;  // entries whose SWF was written
    std::size_t failed = 0;     // entries that got an error text or "Cancelled"
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
