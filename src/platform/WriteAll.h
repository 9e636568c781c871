// Writing a whole buffer to a file descriptor, retrying short writes and EINTR.
#pragma once

#include <cstddef>

namespace tonvela {

// What a write achieved: the bytes that reached the file, and the errno that stopped it (0 when
// all of them did; a write that takes nothing counts as EIO). True only for a complete write.
struct WriteResult {
    std::size_t written = 0;
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

WriteResult WriteAll(int fd, const void* data, std::size_t size);

}  // namespace tonvela
