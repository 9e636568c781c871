#include "platform/PendingOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/UniqueFd.h"

namespace tonvela {

namespace {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

}  // namespace

bool CPendingOutput::Create(const std::string& target, bool unnamed) {
    Discard();
    if (target.empty() || target.back() == '/') return false;
    const std::string folder = FolderOf(target);
    if (unnamed) {
        CUniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (fd.IsOpen()) {
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
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = (folder == "/" ? "" : folder) + "/." + stem + UniqueSuffix();
        CUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.IsOpen()) {
            if (!fd.Close()) {
                ::unlink(temp.c_str());
                return false;
            }
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
    temp_.clear();
    return true;
}

void CPendingOutput::Discard() {
    if (unnamed_.IsOpen()) {
        unnamed_.Reset();  // an unnamed file vanishes with its last descriptor
    } else if (!temp_.empty()) {
        ::unlink(temp_.c_str());
    }
    temp_.clear();
}

bool CanCreateFileAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    CPendingOutput probe;
    return probe.Create(path);  // removed again by the destructor
}

}  // namespace tonvela
