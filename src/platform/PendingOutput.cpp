#include "platform/PendingOutput.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>

#include "platform/OwnerLock.h"
#include "platform/PathName.h"
#include "platform/UniqueFd.h"

namespace tonvela {

namespace {

// The start of the target's name for the temporary name, at most 64 bytes and never cut
// inside a UTF-8 sequence.
std::string ShortStem(const std::string& target) {
    std::string name = NameOf(target);
    if (name.size() <= 64) return name;
    std::size_t cut = 64;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

// A name no other thread or process picks at the same time: pid, a counter and random bits.
std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 rng{std::random_device{}()};
    char buf[64];
    std::snprintf(buf, sizeof buf, ".%d-%u-%08x.part", static_cast<int>(::getpid()), counter++,
                  static_cast<unsigned>(rng()));
    return buf;
}

// The process id in a temporary name of ours (".<stem>.<pid>-<n>-<8 hex>.part"), or -1.
long PartOwner(const std::string& name) {
    constexpr std::string_view kPart = ".part";
    if (name.size() < kPart.size() + 2 || name[0] != '.' || name.compare(name.size() - kPart.size(), kPart.size(), kPart) != 0)
        return -1;
    const std::string body = name.substr(0, name.size() - kPart.size());
    const std::size_t dot = body.rfind('.');
    if (dot == 0 || dot == std::string::npos) return -1;
    const std::string tag = body.substr(dot + 1);  // <pid>-<n>-<8 hex>
    const std::size_t a = tag.find('-');
    const std::size_t b = a == std::string::npos ? a : tag.find('-', a + 1);
    if (a == 0 || b == std::string::npos || b == a + 1 || tag.size() - b - 1 != 8 || a > 9) return -1;
    auto all = [&](std::size_t from, std::size_t to, const char* set) {
        return tag.find_first_not_of(set, from) >= to;
    };
    if (!all(0, a, "0123456789") || !all(a + 1, b, "0123456789") || tag.find_first_not_of("0123456789abcdef", b + 1) != std::string::npos)
        return -1;
    return std::stol(tag.substr(0, a));
}

}  // namespace

void RemoveStaleParts(const std::string& folder) {
    CUniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsOpen()) return;
    DIR* dir = ::fdopendir(fd.Get());
    if (dir == nullptr) return;
    fd.Release();
    while (const dirent* d = ::readdir(dir)) {
        const long pid = PartOwner(d->d_name);
        if (pid <= 0 || pid == static_cast<long>(::getpid())) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        CUniqueFd part(::openat(::dirfd(dir), d->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (part.IsOpen() && TakeAbandonedLeftover(part.Get(), pid)) ::unlinkat(::dirfd(dir), d->d_name, 0);
    }
    ::closedir(dir);
}

bool CPendingOutput::Create(const std::string& target, bool unnamed) {
    Discard();
    if (target.empty() || target.back() == '/') return false;
    const std::string folder = FolderOf(target);
    if (unnamed) {
        CUniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (fd.IsOpen()) {
            // Held while ours: once Commit gives it a name, a kill must not make it look live.
            HoldOwnerLock(fd.Get());
            temp_ = "/proc/self/fd/" + std::to_string(fd.Get());
            unnamed_ = std::move(fd);
            target_ = target;
            return true;
        }
        // Kernels or file systems without unnamed files say so with these.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    }
    if (!CreateNamed(folder, ShortStem(target))) return false;
    target_ = target;
    return true;
}

bool CPendingOutput::CreateNamed(const std::string& folder, const std::string& stem) {
    // Where named temporary files are needed, a killed run may have left some.
    RemoveStaleParts(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = (folder == "/" ? "" : folder) + "/." + stem + UniqueSuffix();
        CUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.IsOpen()) {
            // Kept open only for its owner lock: the writer opens the file by its name.
            HoldOwnerLock(fd.Get());
            owned_ = std::move(fd);
            temp_ = temp;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

namespace {

// A file that replaces another keeps the permissions the user gave the old one.
void KeepPermissionsOf(const std::string& target, const std::string& temp) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::chmod(temp.c_str(), st.st_mode & 07777);
}

}  // namespace

bool CPendingOutput::Commit() {
    if (temp_.empty()) return false;
    KeepPermissionsOf(target_, temp_);
    bool ok = false;
    if (unnamed_.IsOpen()) {
        // Give the file a hidden name first: linking cannot replace an existing target, the
        // rename after it can, in one step.
        ok = ::fsync(unnamed_.Get()) == 0;
        const std::string folder = FolderOf(target_);
        const std::string stem = ShortStem(target_);
        std::string named;
        for (int attempt = 0; ok && attempt < 100; ++attempt) {
            named = (folder == "/" ? "" : folder) + "/." + stem + UniqueSuffix();
            if (::linkat(AT_FDCWD, temp_.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
            if (errno != EEXIST) ok = false;
            named.clear();
        }
        if (named.empty()) ok = false;
        if (ok && ::rename(named.c_str(), target_.c_str()) != 0) {
            ::unlink(named.c_str());
            ok = false;
        }
    } else {
        CUniqueFd fd(::open(temp_.c_str(), O_RDONLY | O_CLOEXEC));
        ok = fd.IsOpen() && ::fsync(fd.Get()) == 0;
        if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
    }
    if (!ok) {
        Discard();
        return false;
    }
    unnamed_.Reset();
    owned_.Reset();
    temp_.clear();
    return true;
}

void CPendingOutput::Discard() {
    if (unnamed_.IsOpen()) {
        unnamed_.Reset();  // an unnamed file vanishes with its last descriptor
    } else if (!temp_.empty()) {
        ::unlink(temp_.c_str());
    }
    owned_.Reset();
    temp_.clear();
}

bool CommitTogether(CPendingOutput& first, CPendingOutput& second) {
    // The old first file is kept under a hidden name (a second link to it) until the second
    // one is in place, so that it can be put back; without hard links (vfat) there is no way
    // back, and the pair is committed as well as it goes.
    const std::string& target = first.Target();
    struct stat st {};
    const bool existed = ::lstat(target.c_str(), &st) == 0;
    std::string kept;
    CUniqueFd keptOwner;  // the kept link is ours until the pair is in place (RemoveStaleParts)
    if (existed && S_ISREG(st.st_mode)) {
        for (int attempt = 0; attempt < 100 && kept.empty(); ++attempt) {
            std::string name = FolderOf(target) + "/." + ShortStem(target) + UniqueSuffix();
            if (::link(target.c_str(), name.c_str()) == 0) kept = std::move(name);
            else if (errno != EEXIST) break;
        }
        // Until it is held, our live process id alone keeps it from being swept. The kept link
        // is the user's file: another program may hold it locked, and the commit must not wait
        // for that (nor could a cancel reach it); our process id then keeps it alone.
        if (!kept.empty()) keptOwner.Reset(::open(kept.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (keptOwner.IsOpen()) TryHoldOwnerLock(keptOwner.Get());
    }
    if (!first.Commit()) {
        if (!kept.empty()) ::unlink(kept.c_str());
        second.Discard();
        return false;
    }
    if (!second.Commit()) {
        if (!kept.empty()) {
            if (::rename(kept.c_str(), target.c_str()) != 0) ::unlink(kept.c_str());
        } else if (!existed) {
            ::unlink(target.c_str());
        }
        return false;
    }
    if (!kept.empty()) ::unlink(kept.c_str());
    return true;
}

bool CanCreateFileAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    CPendingOutput probe;
    return probe.Create(path);  // removed again by the destructor
}

}  // namespace tonvela
