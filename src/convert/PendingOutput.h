// An output file written under a temporary name in its target's folder and moved over the
// target only once complete, so a failed conversion never harms an existing file and no
// half-written file ever carries the target's name.
#pragma once

#include <string>

namespace tonvela {

class CPendingOutput {
public:
    CPendingOutput() = default;
    CPendingOutput(const CPendingOutput&) = delete;
    CPendingOutput& operator=(const CPendingOutput&) = delete;
    ~CPendingOutput() { Discard(); }

    // Reserves a unique hidden name beside target (an empty file of ours). False when the
    // folder is not writable.
    bool Create(const std::string& target);
    const std::string& TempPath() const { return temp_; }
    const std::string& Target() const { return target_; }
    // Moves the written file over the target. False (the temporary file removed) on failure.
    bool Commit();
    // Removes the temporary file, if any.
    void Discard();

private:
    std::string target_;
    std::string temp_;
};

}  // namespace tonvela
