#include "platform/NameClaim.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/UniqueFd.h"

namespace tonvela {

namespace {

ClaimResult ClaimName(const std::string& path) {
    CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.IsOpen()) return ClaimResult::Claimed;
    return errno == EEXIST ? ClaimResult::Taken : ClaimResult::Failed;
}

}  // namespace

ClaimResult ClaimNames(const std::vector<std::string>& paths, std::string& failedName) {
    failedName.clear();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const ClaimResult r = ClaimName(paths[i]);
        if (r == ClaimResult::Claimed) continue;
        for (std::size_t k = 0; k < i; ++k) ReleaseClaim(paths[k]);
        failedName = paths[i];
        return r;
    }
    return ClaimResult::Claimed;
}

void ReleaseClaim(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) ::unlink(path.c_str());
}

bool NameFits(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::size_t length = slash == std::string::npos ? path.size() : path.size() - slash - 1;
    long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (max <= 0) max = NAME_MAX;
    return length <= static_cast<std::size_t>(max);
}

}  // namespace tonvela
