// The journal of one run (--json-out): a header line naming the run, one line per finished
// entry written (and flushed to disk) as soon as its outputs are committed, and a closing
// line with the counts. A run that is killed leaves a journal of what it finished; a resumed
// run reads it (ResumeRecord.h) and continues it.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "convert/EntryResult.h"
#include "convert/archive/Shard.h"
#include "platform/UniqueFd.h"

namespace tonvela {

class CConvertOptions;
struct CFileListEntry;

// The key that marks a report's header line, the current version, and the closing line's key.
inline constexpr const char* kReportHeaderKey = "tonvelaReport";
inline constexpr int kReportVersion = 2;
inline constexpr const char* kReportEndKey = "tonvelaReportEnd";

// The settings that decide an output's bytes and place, as 16 hex digits: two runs with equal
// fingerprints write the same outputs for the same source. The policy for existing targets,
// the browse step and the number of jobs do not count.
std::string SettingsFingerprint(const CConvertOptions& options);

// {"tonvelaReport":2,"version":...,"shard":"K/N","host":...,"startedNs":...,"fingerprint":...,
//  "settings":{NAME:VALUE,...}}
std::string ReportHeaderLine(const ShardChoice& shard, const CConvertOptions& options, const std::string& version);
// {"tonvelaReportEnd":true,"interrupted":...,"converted":N,"alreadyDone":N,"failed":N}
std::string ReportClosingLine(bool interrupted, std::size_t converted, std::size_t alreadyDone, std::size_t failed);

// A source file as the journal records it.
struct JournalSource {
    std::string path;  // as the run names it (absolute)
    std::string rel;   // relative to the folder given that holds it (the shard key)
    bool stamped = false;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
};
// The size and modification time of path now; stamped false when it cannot be looked at.
JournalSource StampSource(const std::string& path, const std::string& rel);

// One entry's line: the source, the settings' fingerprint, the outcome with its reason, every
// output with its size, and the probed columns (probe null for a file that could not be loaded).
std::string JournalEntryLine(const JournalSource& source, const std::string& fingerprint, const EntryResult& result,
                             const CFileListEntry* probe);
// The line of an entry whose names were chosen and nothing is finished yet: a run killed
// before the entry's line leaves these names recorded as the entry's own.
std::string JournalNamedLine(const JournalSource& source, const std::string& fingerprint, const EntryResult& named);

// What a journal must never be: the run's inputs and outputs.
struct JournalForbidden {
    std::set<std::pair<dev_t, ino_t>> files;  // existing inputs and outputs
    std::set<std::string> paths;              // outputs by name (absolute, lexically normal, and canonical)
};

class CRunJournal {
public:
    enum class Flush {
        None,  // written only (a killed run's lines are kept; a power cut may lose them)
        Soon,  // flushed to disk by the journal's own thread within moments, without waiting
        Now,   // flushed before Append returns
    };
    CRunJournal() = default;
    CRunJournal(const CRunJournal&) = delete;
    CRunJournal& operator=(const CRunJournal&) = delete;
    // Flushes what is pending.
    ~CRunJournal();

    // Opens path as the journal. A regular file (or a new one; its folder is created) is
    // continued when continueExisting, else emptied; a symlink is followed; a FIFO, a pipe and
    // /dev/stdout get the lines as a stream. A folder, any other special file and anything in
    // forbidden are refused. False with the reason in error; nothing was changed then.
    bool Open(const std::string& path, bool continueExisting, const JournalForbidden& forbidden, std::string& error);
    bool IsOpen() const { return fd_.Get() >= 0; }
    // A regular file that held lines before this run.
    bool Continued() const { return continued_; }
    // Appends line and "\n" in one write, flushed (fdatasync) as flush says. An entry's line is
    // flushed Soon: the outputs it names are on disk already, so a line lost to a power cut
    // costs a conversion again, never a wrong "done"; the batch does not wait for the disk.
    // Safe from several threads. False once a write or flush failed (Error says why).
    bool Append(const std::string& line, Flush flush);
    std::string Error() const;

private:
    void Syncer(std::stop_token stop);
    bool SyncLocked(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    bool dirty_ = false;
    std::jthread syncer_;  // started by the first Soon
    CUniqueFd fd_;
    bool stream_ = false;
    bool continued_ = false;
    bool failed_ = false;
    std::string error_;
};

}  // namespace tonvela
