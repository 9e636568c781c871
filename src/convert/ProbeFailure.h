// Why no reader took a file: said in words a user can act on (the file is gone, unreadable,
// empty, of a type that holds no sound, or damaged), for the add-failure message, the list
// and the command line.
#pragma once

#include <string>

namespace tonvela {

// Looks at the file again (at most a first frame is decoded); meant for a path that failed to open.
std::string ProbeFailureReason(const std::string& path);

}  // namespace tonvela
