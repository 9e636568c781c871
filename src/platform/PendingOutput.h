// A new output file written under a temporary name beside its target and moved over the
// target only when complete: until Commit the target (an older file the user may want back)
// is untouched, and a failed or cancelled write leaves nothing behind.
#pragma once

#include <string>

namespace tonvela {

class CPendingOutput {
public:
    CPendingOutput() = default;
    CPendingOutput(const CPendingOutput&) = delete;
    CPendingOutput& operator=(const CPendingOutput&) = delete;
    ~CPendingOutput() { Discard(); }

    // Creates an empty file with a unique hidden name in target's folder (mode 0666 less the
    // umask, like any new file). Discards a previous one first. False when it cannot be created.
    bool Create(const std::string& target);
    // Where the writer puts the new content.
    const std::string& TempPath() const { return temp_; }
    const std::string& Target() const { return target_; }
    bool IsPending() const { return !temp_.empty(); }

    // Flushes the file to disk and renames it over the target. False (and the temporary file
    // removed, the target as it was) when either fails.
    bool Commit();
    // Removes the temporary file, if any.
    void Discard();

private:
    std::string target_;
    std::string temp_;
};

// Whether a new file can be created in path's folder, proved by creating and removing a
// temporary one; path itself is never opened. False too when path exists as a folder.
bool CanCreateFileAt(const std::string& path);

}  // namespace tonvela
