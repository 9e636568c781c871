#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/OpenRegularFile.h"
#include "platform/PendingOutput.h"
#include "platform/UniqueFd.h"
#include "platform/WriteAll.h"

namespace tonvela {

namespace {

// Makes the rename itself durable; a failure here does not undo a completed rename.
void SyncFolder(const std::filesystem::path& folder) {
    CUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsOpen()) ::fsync(dir.Get());
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    // An open descriptor's file (an unnamed CPendingOutput) has no folder to put a temporary
    // file in; its owner gives it its name only when complete, so writing in place is safe.
    if (path.string().rfind("/proc/self/fd/", 0) == 0) {
        CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        bool ok = fd.IsOpen() && WriteAll(fd.Get(), bytes.data(), bytes.size());
        return fd.Close() && ok;
    }
    CPendingOutput out;
    if (!out.Create(path.string())) return false;
    CUniqueFd fd(::open(out.TempPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    bool ok = fd.IsOpen() && WriteAll(fd.Get(), bytes.data(), bytes.size());
    if (!fd.Close() || !ok || !out.Commit()) return false;
    std::filesystem::path folder = path.parent_path();
    SyncFolder(folder.empty() ? std::filesystem::path(".") : folder);
    return true;
}

bool WriteFileInPlace(const std::filesystem::path& path, std::string_view bytes, std::string* why) {
    // Without blocking: a FIFO put in the file's place is refused, not waited on. A link whose
    // file is gone gets it back.
    CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
    struct stat st {};
    int error = 0;
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        if (why) *why = "it is not a regular file";
        return false;
    } else if (const int r = ::posix_fallocate(fd.Get(), 0, static_cast<off_t>(bytes.size()));
               r != 0 && r != EOPNOTSUPP && r != EINVAL) {
        // Room for the whole content first: a full disk or a size limit fails here, before
        // the old content is touched.
        error = r;
    } else if (const WriteResult w = WriteAll(fd.Get(), bytes.data(), bytes.size()); !w) {
        error = w.error;
    } else if (::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.Get()) != 0) {
        error = errno;
    }
    if (error != 0 && why) *why = std::strerror(error);
    return error == 0;
}

bool ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out,
                   std::string* why) {
    out.clear();
    CUniqueFd fd = OpenRegularFile(path, why);
    if (!fd.IsOpen()) return false;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (why) *why = std::strerror(errno);
            out.clear();
            return false;
        }
        if (n == 0) break;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
            if (why) *why = "it is too large";
            out.clear();
            return false;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace tonvela
