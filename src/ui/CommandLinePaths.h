// The files and folders named on the desktop program's command line, as the bytes they were
// given in: a name that is not valid UTF-8 (an old Latin-1 file name) still names its file.
#pragma once

#include <string>
#include <vector>

namespace tonvela {

// The positional arguments of argv once the toolkit has taken its own options out (as
// QApplication's constructor does): every argument that is not an option ("-" alone is a
// name), and every one after "--".
std::vector<std::string> CommandLinePaths(int argc, const char* const* argv);

}  // namespace tonvela
