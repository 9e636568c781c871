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

bool CPendingOutput::Create(const std::string& target) {
    Discard();
    if (target.empty() || target.back() == '/') return false;
    const std::string folder = FolderOf(target);
    // Keep the name short enough for the file system: the temporary name need not carry the
    // whole target name.
    std::string stem = NameOf(target).substr(0, 64);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = (folder == "/" ? "" : folder) + "/." + stem + UniqueSuffix();
        CUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.IsOpen()) {
            if (!fd.Close()) {
                ::unlink(temp.c_str());
                return false;
            }
            target_ = target;
            temp_ = temp;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool CPendingOutput::Commit() {
    if (temp_.empty()) return false;
    bool ok = false;
    {
        CUniqueFd fd(::open(temp_.c_str(), O_RDONLY | O_CLOEXEC));
        ok = fd.IsOpen() && ::fsync(fd.Get()) == 0;
    }
    if (ok) ok = ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        Discard();
        return false;
    }
    temp_.clear();
    return true;
}

void CPendingOutput::Discard() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool CanCreateFileAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    CPendingOutput probe;
    return probe.Create(path);  // removed again by the destructor
}

}  // namespace tonvela
