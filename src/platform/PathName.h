// The name part of a path as the program's texts and output names use it.
#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// The file name: the part of path after its last "/" (all of it without one).
std::string NameOf(std::string_view path);

// The folder that holds path: the part before its last "/" ("/" for a name at the root, "."
// without a "/").
std::string FolderOf(std::string_view path);

}  // namespace tonvela
