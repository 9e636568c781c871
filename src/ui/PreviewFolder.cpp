#include "ui/PreviewFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <system_error>
#include <vector>

#include "convert/TempFile.h"
#include "platform/OwnerLock.h"

namespace tonvela {

namespace {

// The process id in a preview folder's name, or -1 when the name is not one of ours.
long OwnerPid(const std::string& name) {
    const std::string prefix = CPreviewFolder::kPrefix;
    if (name.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::size_t dot = name.find('.', prefix.size());
    if (dot == std::string::npos || dot == prefix.size() || dot - prefix.size() > 9) return -1;
    long pid = 0;
    for (std::size_t i = prefix.size(); i < dot; ++i) {
        const char c = name[i];
        if (c < '0' || c > '9') return -1;
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 ? pid : -1;
}

// The temporary folder every part of the program uses.
std::filesystem::path TempRoot() { return TemporaryFolder(); }

bool ProcessRunning(long pid) {
    // EPERM: it runs under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The owner lock on the folder's kOwnerFile decides, as for the program's other leftovers. A
// running program's folder always holds that file (Create fails without it): an entry without
// one is left over once its process is gone, or once it is older than the moment a folder takes
// to be made (its process id may have been reused).
bool Abandoned(const std::filesystem::path& entry, const struct stat& st, long pid) {
    if (S_ISDIR(st.st_mode)) {
        const CUniqueFd owner(::open((entry / CPreviewFolder::kOwnerFile).c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (owner.IsOpen()) return TakeAbandonedLeftover(owner.Get(), pid);
    }
    return !ProcessRunning(pid) || ::time(nullptr) - st.st_mtime >= kLeftoverQuietSeconds;
}

}  // namespace

CPreviewFolder::~CPreviewFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

bool CPreviewFolder::Create() {
    const std::filesystem::path root = TempRoot();
    return !root.empty() && Create(root);
}

int CPreviewFolder::RemoveStale() {
    const std::filesystem::path root = TempRoot();
    return root.empty() ? 0 : RemoveStale(root);
}

bool CPreviewFolder::Create(const std::filesystem::path& root) {
    if (!path_.empty()) return true;
    RemoveStale(root);
    std::string templ = (root / (std::string(kPrefix) + std::to_string(::getpid()) + ".XXXXXX")).string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) return false;
    path_ = buf.data();
    owner_.Reset(::open((path_ / kOwnerFile).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!owner_.IsOpen()) {
        // Without its owner file the folder would look abandoned to every other copy.
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        path_.clear();
        return false;
    }
    HoldOwnerLock(owner_.Get());
    return true;
}

int CPreviewFolder::RemoveStale(const std::filesystem::path& root) {
    int removed = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(root, ec), end;
    std::vector<std::filesystem::path> stale;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const long pid = OwnerPid(name);
        if (pid < 0 || pid == static_cast<long>(::getpid())) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || st.st_uid != ::getuid()) continue;
        if (Abandoned(it->path(), st, pid)) stale.push_back(it->path());
    }
    for (const auto& p : stale) {
        std::error_code rec;
        if (std::filesystem::remove_all(p, rec) != static_cast<std::uintmax_t>(-1) && !rec) ++removed;
    }
    return removed;
}

}  // namespace tonvela
