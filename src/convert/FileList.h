// The entries of the file list, how files are probed and added, and the failure message of an
// add operation. The main window and the command line share it; it shows nothing itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/FileListEntry.h"

namespace tonvela {

// What an add operation sees of its progress window: one line, a bar and a Cancel button.
class CAddProgress {
public:
    virtual ~CAddProgress() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetRange(int max) = 0;  // bar range 0 .. max, position 0, step 1
    virtual void Step() = 0;
    virtual void ProcessEvents() = 0;
    virtual bool IsCancelled() const = 0;
    // Runs one look at the file system or into a file, which a slow or stalled disk can make
    // long, and returns once it is done. The work touches nothing of the caller's but what it
    // was given. A window runs it on another thread and keeps answering meanwhile.
    virtual void RunAside(const std::function<void()>& work) { work(); }
};

// At most this many failed paths are listed in the failure message.
inline constexpr int kMaxListedFailures = 30;
// The manual's page on supported formats, inside the data folder; the failure message ends by
// pointing to it.
inline constexpr const char* kFormatsHelpPage = "help/formats.html";

// Collects the failed paths of one add operation, each with its reason.
class CAddFailures {
public:
    struct Failure {
        std::string path;
        std::string reason;
    };
    // reason: why no reader took path; looked up (ProbeFailureReason) when not given.
    void Add(const std::string& path, std::string reason = {});
    // Whether the next failure added will be listed (and so needs its reason).
    bool ListsNext() const { return count_ < kMaxListedFailures; }
    int Count() const { return count_; }
    // The listed failures (at most kMaxListedFailures); More() when further ones were left out.
    const std::vector<Failure>& Listed() const { return listed_; }
    bool More() const { return count_ > kMaxListedFailures; }
    // "path: reason" lines, then "<more files>..." when some were left out.
    std::string Text() const;
    // The whole message as plain text, or "" when nothing failed; the closing line gives the
    // formats page of the manual as a file:// address a terminal can open.
    std::string Message() const;
    // The manual's page on supported formats, as a file:// address.
    static std::string HelpPageUrl();

private:
    std::vector<Failure> listed_;
    int count_ = 0;
};

inline constexpr const char* kAddFailureTitle = "Failed to load the following files.";

class CFileList {
    struct FileIdentity {
        bool statOk = false;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::string canonical;
    };
    struct Row {
        std::unique_ptr<CFileListEntry> entry;
        FileIdentity identity;
    };

public:
    // Probes path and appends an entry. Result: the new entry's index; 0 when the same file is
    // already in the list (nothing is added); -1 when no reader accepts the file.
    int AddFileEntry(const std::string& path);

    // Adds paths in order, reporting through progress (may be null). Stops early on Cancel
    // (the path in hand is finished first). Returns the failures with their reasons.
    CAddFailures AddPathList(const std::vector<std::string>& paths, CAddProgress* progress);

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    CFileListEntry& At(std::size_t i) { return *entries_[i].entry; }
    const CFileListEntry& At(std::size_t i) const { return *entries_[i].entry; }
    void Remove(std::size_t i);
    void Clear() { entries_.clear(); }

    // An entry taken out of the list with what identifies its file, so that it can be put back
    // as it was (an undone removal) without probing the file again.
    class CTaken {
    public:
        CFileListEntry* Entry() const { return row_.entry.get(); }  // null once put back

    private:
        friend class CFileList;
        Row row_;
    };
    // Takes entry i out (i must be below Size()).
    CTaken Take(std::size_t i);
    // Appends a taken entry again; false (and taken kept) when its file is listed meanwhile.
    bool PutBack(CTaken& taken);

    // True when path names the same file as an entry already listed.
    bool Contains(const std::string& path) const;

private:
    static FileIdentity IdentityOf(const std::string& path);
    static bool SameFile(const FileIdentity& a, const FileIdentity& b);
    bool Lists(const FileIdentity& id) const;
    // The entry of a file no entry names yet, or null when no reader accepts it; touches
    // nothing of the list.
    static std::unique_ptr<CFileListEntry> ProbeEntry(const std::string& path);
    // AddFileEntry with each look at the disk run through run; reason (when given) receives why
    // no reader took the file.
    using LookRunner = std::function<void(const std::function<void()>&)>;
    int AddLooked(const std::string& path, const LookRunner& run, std::string* reason);

    std::vector<Row> entries_;
};

}  // namespace tonvela
