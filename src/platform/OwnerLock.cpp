#include "platform/OwnerLock.h"

#include <sys/file.h>

#include <cerrno>

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

}  // namespace tonvela
