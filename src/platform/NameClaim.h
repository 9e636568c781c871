// Claiming an output name against other threads and other running copies of the program: the
// name is created as an empty file with O_EXCL, so of two claims of one free name exactly one
// succeeds. The writer later renames the complete file over its claim.
#pragma once

#include <string>
#include <vector>

namespace tonvela {

enum class ClaimResult { Claimed, Taken, Failed };

// Claims every name, in order, or none: when one is taken or cannot be created, the names
// already claimed are released again. failedName is then the name that stopped it.
ClaimResult ClaimNames(const std::vector<std::string>& paths, std::string& failedName);

// Removes a claim that was never filled: the file is removed only while it is still an empty
// regular file, so a file written meanwhile (by us or anyone) stays.
void ReleaseClaim(const std::string& path);

// Whether the last component of path fits the file system's limit for one name.
bool NameFits(const std::string& path);

}  // namespace tonvela
