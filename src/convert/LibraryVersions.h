// The versions of the libraries the program runs with (not the ones it was built against),
// for "--version" and bug reports.
#pragma once

#include <string>

namespace tonvela {

// One line per library: "LAME 3.100", "FFmpeg 5.1.6 (libavformat 59.27.100, ...)",
// "libopenmpt 0.6.9".
std::string LibraryVersionsText();

}  // namespace tonvela
