#include "platform/NameClaim.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/OwnerLock.h"
#include "platform/PathName.h"

namespace tonvela {

namespace {

// The modification time a claim file carries: a whole, even second (every file system keeps
// it, FAT included) that no file a person makes is likely to have.
constexpr time_t kClaimMark = 1000000000;

bool IsMarkedEmptyFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_size == 0 && st.st_mtime == kClaimMark;
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Locks fd and gives it the claim's mark: whoever sees the mark finds the lock already held.
void LockAndMark(int fd) {
    if (!HoldOwnerLock(fd)) return;
    const timespec times[2] = {{kClaimMark, 0}, {kClaimMark, 0}};
    ::futimens(fd, times);
}

// The claim file is made unnamed, locked and marked first, and only then linked under the
// name (a link never replaces an existing name), so that a kill at any moment leaves either
// nothing or a claim the next run recognises. Unclear is returned where the kernel or the file
// system has no unnamed files or cannot link them.
enum class LinkedClaim { Claimed, Taken, Unclear };

LinkedClaim ClaimByLink(const std::string& path, CUniqueFd& held) {
    CUniqueFd fd(::open(FolderOf(path).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (!fd.IsOpen()) return LinkedClaim::Unclear;
    LockAndMark(fd.Get());
    const std::string self = "/proc/self/fd/" + std::to_string(fd.Get());
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return errno == EEXIST ? LinkedClaim::Taken : LinkedClaim::Unclear;
    held = std::move(fd);
    return LinkedClaim::Claimed;
}

ClaimResult ClaimName(const std::string& path, CUniqueFd& held) {
    switch (ClaimByLink(path, held)) {
        case LinkedClaim::Claimed: return ClaimResult::Claimed;
        case LinkedClaim::Taken: return ClaimResult::Taken;
        case LinkedClaim::Unclear: break;
    }
    // Without unnamed files the name is created and marked after: a kill in between leaves an
    // empty file without the mark, which counts as a person's.
    CUniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.IsOpen()) return errno == EEXIST ? ClaimResult::Taken : ClaimResult::Failed;
    LockAndMark(fd.Get());
    held = std::move(fd);
    return ClaimResult::Claimed;
}

}  // namespace

ClaimResult CNameClaims::Claim(const std::vector<std::string>& paths, std::string& failedName) {
    failedName.clear();
    const std::size_t before = held_.size();
    for (const std::string& path : paths) {
        Held h{path, CUniqueFd()};
        const ClaimResult r = ClaimName(path, h.fd);
        if (r == ClaimResult::Claimed) {
            held_.push_back(std::move(h));
            continue;
        }
        while (held_.size() > before) {
            Release(held_.back().path);
        }
        failedName = path;
        return r;
    }
    return ClaimResult::Claimed;
}

void CNameClaims::Release(const std::string& path) {
    for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->path != path) continue;
        struct stat mine {}, there {};
        if (::fstat(it->fd.Get(), &mine) == 0 && ::lstat(path.c_str(), &there) == 0 && SameInode(mine, there) &&
            there.st_size == 0)
            ::unlink(path.c_str());
        held_.erase(it);
        return;
    }
}

void CNameClaims::ReleaseAll() {
    while (!held_.empty()) Release(held_.back().path);
}

bool RemoveAbandonedClaim(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !IsMarkedEmptyFile(st)) return false;
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsOpen() || !TakeAbandonedLeftover(fd.Get(), 0)) return false;
    // Still the same unowned claim under that name now that it is ours (not replaced meanwhile)?
    struct stat locked {}, there {};
    if (::fstat(fd.Get(), &locked) != 0 || !IsMarkedEmptyFile(locked) || ::lstat(path.c_str(), &there) != 0 ||
        !SameInode(locked, there))
        return false;
    return ::unlink(path.c_str()) == 0;
}

void ReleaseClaim(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) ::unlink(path.c_str());
}

std::size_t NameMax(const std::string& path) {
    const long max = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
    return static_cast<std::size_t>(max > 0 ? max : NAME_MAX);
}

bool NameFits(const std::string& path) { return NameOf(path).size() <= NameMax(path); }

}  // namespace tonvela
