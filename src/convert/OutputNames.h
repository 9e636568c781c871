// Where an entry's SWF, HTML page and player SWF go, and what they are called.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>

namespace tonvela {

class CConvertOptions;
struct CFileListEntry;

// Error texts of MakeOutputNames (the entry's row shows them).
inline constexpr const char* kFolderCreateError = "Failed to create folder \"%s\"";
inline constexpr const char* kFileCreateError = "Failed to create file \"%s\"";
inline constexpr const char* kTargetSkipped = "Target exists and skipped";
inline constexpr const char* kTargetIsSource =
    "Target file name is same as original file that can't be overwritten. Please output files to a custom folder.";

// SWF names chosen by entries that are converting right now, for a batch that runs several
// entries at once (--jobs). MakeOutputNames treats a reserved name like an existing file and
// reserves the name it picks, all under one lock, so two entries never pick the same name;
// with "Overwrite" an entry whose target another entry holds waits until that one is done.
// The batch driver owns one for the batch and calls Release when an entry has finished.
// It also remembers the names the batch has written: "Overwrite" replaces files from before
// the batch, never one of its own (a later entry with the same name is numbered instead).
class COutputReservations {
public:
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }
    // These three with the lock held.
    bool IsReserved(const std::string& swfPath) const { return names_.count(swfPath) != 0; }
    void Reserve(const std::string& swfPath) { names_.insert(swfPath); }
    void WaitUntilFree(std::unique_lock<std::mutex>& lock, const std::string& swfPath) {
        released_.wait(lock, [&] { return !IsReserved(swfPath); });
    }
    // With the lock held: an entry of this batch wrote swfPath.
    bool WasWritten(const std::string& swfPath) const { return written_.count(swfPath) != 0; }
    // Without the lock: the entry that reserved swfPath has finished, converted (written) or not.
    void Release(const std::string& swfPath, bool written = false) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            names_.erase(swfPath);
            if (written) written_.insert(swfPath);
        }
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::set<std::string> names_;
    std::set<std::string> written_;
};

// Folders this batch has already cleared of what killed runs left there (RemoveStaleParts):
// once per folder, as a folder may hold thousands of outputs.
class CSweptFolders {
public:
    void SweepOnce(const std::string& folder);

private:
    std::mutex mutex_;
    std::set<std::string> done_;
};

class CNameClaims;

struct OutputNameContext {
    // The user's documents folder, created if needed; empty on failure. Replaceable for tests.
    std::function<std::string()> documentsFolder;
    // Null for a batch that converts one entry at a time.
    COutputReservations* reservations = nullptr;
    // Where the entry's claims are kept (locked) until its files replace them; released by its
    // destruction. Null: the claim files are left without an owner (ReleaseOutputClaims).
    CNameClaims* claims = nullptr;
    // Null: every call sweeps the output folder.
    CSweptFolders* swept = nullptr;
};

// Picks the entry's swfPath (a name whose file can be created; an existing file there is left
// untouched: the new SWF is to be written beside it and moved over it when complete, see
// CPendingOutput), htmlPath and playerSwfPath as the settings ask. With "Skip" and
// "auto-rename" an existing file of any of the three names is a clash, and the names are
// claimed on disk as empty files (see CNameClaims) that the written files replace; a claim
// that a killed run left behind is taken over as a free name. False with
// the reason in error; the three paths are then empty.
bool MakeOutputNames(CFileListEntry& entry, const CConvertOptions& settings, std::string& error,
                     const OutputNameContext& context = {});

// After a failed entry: removes the still empty files by which MakeOutputNames claimed its
// names ("Skip" and "auto-rename"), so a failure leaves nothing behind.
void ReleaseOutputClaims(const CFileListEntry& entry, const CConvertOptions& settings);

// The SWF, HTML page and player SWF (the last two empty when not asked for) that a conversion
// of source writes in its first-choice place without a clash: what a finished earlier run left
// there. Creates nothing.
struct PlannedOutputs {
    std::string swfPath, htmlPath, playerSwfPath;
};
PlannedOutputs PlannedOutputPaths(const std::string& source, const CConvertOptions& settings);
// The outputs the settings ask for, named after base (a path without extension).
PlannedOutputs OutputsAt(const std::string& base, const CConvertOptions& settings);

// True when path is a folder or could be created with all missing parent folders.
bool EnsureFolder(const std::string& path);

}  // namespace tonvela
