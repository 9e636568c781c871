#include "platform/WriteAll.h"

#include <unistd.h>

#include <cerrno>

namespace tonvela {

WriteResult WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    WriteResult r;
    while (r.written < size) {
        const ssize_t n = ::write(fd, p + r.written, size - r.written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            r.error = n < 0 ? errno : EIO;
            break;
        }
        r.written += static_cast<std::size_t>(n);
    }
    return r;
}

}  // namespace tonvela
