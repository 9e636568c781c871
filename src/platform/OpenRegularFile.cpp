#include "platform/OpenRegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tonvela {

CUniqueFd OpenRegularFile(const std::filesystem::path& path, std::string* why) {
    auto fail = [&](std::string reason) {
        if (why) *why = std::move(reason);
        return CUniqueFd();
    };
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsOpen()) return fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file");
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(std::strerror(errno));
    return fd;
}

std::size_t ReadUpTo(int fd, void* dst, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, static_cast<char*>(dst) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace tonvela
