// A new output file written beside its target and moved over the target only when complete:
// until Commit the target (an older file the user may want back) is untouched, and a failed
// or cancelled write leaves nothing behind. Where the file system allows, the new file has no
// name at all until Commit (O_TMPFILE), so not even a crash leaves a stray file.
#pragma once

#include <string>

#include "platform/UniqueFd.h"

namespace tonvela {

class CPendingOutput {
public:
    CPendingOutput() = default;
    CPendingOutput(const CPendingOutput&) = delete;
    CPendingOutput& operator=(const CPendingOutput&) = delete;
    ~CPendingOutput() { Discard(); }

    // Creates an empty file in target's folder (mode 0666 less the umask, like any new file):
    // unnamed, or else with a unique hidden name. Discards a previous one first. False when it
    // cannot be created. unnamed false: always named (when another program must open TempPath).
    bool Create(const std::string& target, bool unnamed = true);
    // Where the writer opens the new content: "/proc/self/fd/N" for an unnamed file, so only
    // valid inside this process and not to be renamed or removed by the writer.
    const std::string& TempPath() const { return temp_; }
    const std::string& Target() const { return target_; }
    bool IsPending() const { return !temp_.empty(); }

    // Flushes the file to disk and renames it over the target. False (and the temporary file
    // removed, the target as it was) when either fails.
    bool Commit();
    // Removes the temporary file, if any.
    void Discard();

private:
    bool CreateNamed(const std::string& folder, const std::string& stem);

    std::string target_;
    std::string temp_;
    CUniqueFd unnamed_;  // open while the file has no name
    CUniqueFd owned_;    // a named file's owner lock, until committed or discarded
};

// Removes the hidden temporary files (".<name>.<pid>-<n>-<hex>.part") that runs killed while
// writing left in folder: those of a process that no longer exists and that nobody holds (a
// live run holds its own with an owner lock; where the file system keeps no locks, those
// untouched for a minute). Done by Create where files must be named, and by the batch once
// for every folder it writes into (a killed pair commit leaves one on any file system).
void RemoveStaleParts(const std::string& folder);

// Commits two files that belong together (a sound SWF and its player): when the second cannot
// be put in place, the first target gets its old file back (or is removed when it had none),
// so a failed pair leaves the old pair as it was. False when either fails.
bool CommitTogether(CPendingOutput& first, CPendingOutput& second);

// Whether a new file can be created in path's folder, proved by creating and removing a
// temporary one; path itself is never opened. False too when path exists as a folder.
bool CanCreateFileAt(const std::string& path);

}  // namespace tonvela
