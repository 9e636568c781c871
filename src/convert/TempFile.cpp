#include "convert/TempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/WriteAll.h"

namespace tonvela {

namespace {

int CreateUnnamed(const std::filesystem::path& folder) {
#ifdef O_TMPFILE
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    // File systems without O_TMPFILE: a unique name, unlinked at once.
    std::string templ = (folder / "tnvXXXXXX").string();
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    int fd2 = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd2 < 0) return -1;
    ::unlink(name.data());
    return fd2;
}

}  // namespace

std::filesystem::path TemporaryFolder() {
    // An empty variable counts as unset, as for mktemp, glibc and Python.
    for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
    return "/tmp";
}

std::string TemporaryFolderProblem() {
    const std::filesystem::path folder = TemporaryFolder();
    errno = 0;
    const int fd = CreateUnnamed(folder);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    const int reason = errno != 0 ? errno : EACCES;
    return "temporary folder \"" + folder.string() + "\" cannot be used: " + std::strerror(reason);
}

bool CTempFile::Create() {
    Close();
    int fd = CreateUnnamed(TemporaryFolder());
    if (fd < 0) return false;
    fd_.Reset(fd);
    path_ = "/proc/self/fd/" + std::to_string(fd);
    return true;
}

void CTempFile::Close() {
    fd_.Reset();
    path_.clear();
}

std::int64_t CTempFile::Size() const {
    struct stat st {};
    if (!fd_.IsOpen() || ::fstat(fd_.Get(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool CTempFile::Write(const void* data, std::size_t bytes) {
    return fd_.IsOpen() && WriteAll(fd_.Get(), data, bytes);
}

bool CTempFile::ReadExact(void* data, std::size_t bytes) {
    if (!fd_.IsOpen()) return false;
    auto* p = static_cast<unsigned char*>(data);
    while (bytes > 0) {
        ssize_t n = ::read(fd_.Get(), p, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CTempFile::Seek(std::uint64_t offset) {
    return fd_.IsOpen() && ::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

}  // namespace tonvela
