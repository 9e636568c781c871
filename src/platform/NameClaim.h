// Claiming an output name against other threads and other running copies of the program: the
// name gets an empty file that cannot replace an existing one (a hard link of an unnamed file,
// or O_EXCL where there are none), so of two claims of one free name exactly one succeeds. The
// writer later renames the complete file over its claim.
//
// While a run owns a claim it holds the claim file open with an owner lock (OwnerLock.h), and
// the file carries a mark (a fixed modification time), so that a claim left by a killed run --
// empty, marked, held by nobody -- can be told from an empty file a person made. The unnamed
// file is locked and marked before it gets the name, so even a kill in the middle of a claim
// leaves nothing that looks like a person's file.
#pragma once

#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace tonvela {

enum class ClaimResult { Claimed, Taken, Failed };

// The names one entry has claimed and still owns.
class CNameClaims {
public:
    CNameClaims() = default;
    CNameClaims(const CNameClaims&) = delete;
    CNameClaims& operator=(const CNameClaims&) = delete;
    ~CNameClaims() { ReleaseAll(); }

    // Claims every name, in order, or none: when one is taken or cannot be created, the names
    // already claimed are released again. failedName is then the name that stopped it.
    ClaimResult Claim(const std::vector<std::string>& paths, std::string& failedName);
    // Gives up one name: its claim file is removed while it is still the claim (empty, not
    // replaced by a written file); the lock is let go either way.
    void Release(const std::string& path);
    void ReleaseAll();
    // Lets go of the locks and leaves the claim files as they are, for a caller that keeps
    // them beyond this object (ReleaseClaim removes them later).
    void Detach() { held_.clear(); }

private:
    struct Held {
        std::string path;
        CUniqueFd fd;
    };
    std::vector<Held> held_;
};

// Removes path when it is a claim that nobody owns any more (left by a killed run): an empty
// regular file with the claim's mark that no running copy holds. True when it was removed.
bool RemoveAbandonedClaim(const std::string& path);

// Removes a claim that was never filled: the file is removed only while it is still an empty
// regular file, so a file written meanwhile (by us or anyone) stays.
void ReleaseClaim(const std::string& path);

// The file system's limit for one name (in bytes) in path's folder, and whether the last
// component of path fits it.
std::size_t NameMax(const std::string& path);
bool NameFits(const std::string& path);

}  // namespace tonvela
