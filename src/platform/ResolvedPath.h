// Absolute paths as the kernel reaches them: "." and ".." are resolved through the file system,
// never by text, because a ".." after a symbolic link leads up from the link's target.
#pragma once

#include <string>

namespace tonvela {

// The absolute form of path with every folder component resolved (links followed); the last
// component is kept as named, so a link to a file stays that link. Parts that do not exist
// are appended as given. On error the path is returned unchanged.
std::string ResolvedPath(const std::string& path);

}  // namespace tonvela
