#include "platform/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace tonvela {

void GuardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

bool CloseStdout(std::string& error) {
    errno = 0;
    std::cout.flush();
    bool ok = !std::cout.fail();
    int reason = errno;
    if (std::fflush(stdout) != 0) {
        ok = false;
        reason = errno;
    }
    if (std::ferror(stdout)) ok = false;
    if (std::fclose(stdout) != 0 && errno != EBADF) {
        // EBADF: nothing to close; a failed write would have shown above.
        if (ok) reason = errno;
        ok = false;
    }
    // A write that failed earlier left no reason behind (as with the core utilities' "write error").
    if (!ok && reason != 0) error = std::strerror(reason);
    return ok;
}

}  // namespace tonvela
