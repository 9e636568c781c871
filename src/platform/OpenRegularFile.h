// Opening a file the program only reads (templates, pictures, data-folder files, settings).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/UniqueFd.h"

namespace tonvela {

// Opens path read-only and keeps it only when the open descriptor is a regular file. The open
// does not block (a FIFO or a device in the file's place would hang it); the flag is cleared
// afterwards so reads wait for data as usual. On failure the result is closed and why, when
// given, says what went wrong ("not a regular file" or the system's reason).
CUniqueFd OpenRegularFile(const std::filesystem::path& path, std::string* why = nullptr);

// Reads up to size bytes, fewer only at the end of the file or on an error.
std::size_t ReadUpTo(int fd, void* dst, std::size_t size);

}  // namespace tonvela
