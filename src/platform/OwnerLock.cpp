#include "platform/OwnerLock.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <ctime>

namespace tonvela {

// flock locks belong to the open file, not to the process's other descriptors of the same
// file, and any open mode can take them; on NFS they are kept by the server for every client.
bool HoldOwnerLock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_SH) == 0) return true;
        if (errno != EINTR) return false;
    }
}

bool TryHoldOwnerLock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
        if (errno != EINTR) return false;
    }
}

OwnerState TakeAbandoned(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return OwnerState::Abandoned;
    return errno == EWOULDBLOCK ? OwnerState::Held : OwnerState::Unknown;
}

bool TakeAbandonedLeftover(int fd, long pid) {
    const OwnerState state = TakeAbandoned(fd);
    if (state != OwnerState::Unknown) return state == OwnerState::Abandoned;
    if (pid <= 0) return false;
    // EPERM: a live process of another user.
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return false;
    struct stat st {};
    return ::fstat(fd, &st) == 0 && ::time(nullptr) - st.st_mtime >= kLeftoverQuietSeconds;
}

}  // namespace tonvela
