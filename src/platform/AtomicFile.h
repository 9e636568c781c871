// Replacing a file so that readers see either the old or the complete new content.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tonvela {

// Writes bytes to a unique temporary file in path's folder, flushes it to disk and renames it
// over path. On any failure the temporary file is removed, path is left as it was, and the
// result is false. The folder must exist. A "/proc/self/fd/N" path (an unnamed file that its
// owner names when complete, see CPendingOutput) is written in place.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Writes bytes over the regular file at path in place (the file keeps its inode, owner, mode and
// links), then cuts it to their length and flushes it to disk; created when missing. For a file
// reached through a symbolic link: written through the link, as editors do. False, with why when given, on failure.
bool WriteFileInPlace(const std::filesystem::path& path, std::string_view bytes, std::string* why = nullptr);

// Reads a whole regular file of at most maxBytes. False when it cannot be read, is not a
// regular file (a FIFO does not block the open), or is larger than maxBytes; why, when given,
// then says which.
bool ReadWholeFile(const std::filesystem::path& path, std::size_t maxBytes, std::string& out,
                   std::string* why = nullptr);

}  // namespace tonvela
