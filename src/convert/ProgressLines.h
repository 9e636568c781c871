// The batch's progress as lines of text for a terminal: the overall line first, then one line
// per running file, each with a bar of its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "convert/BatchProgress.h"

namespace tonvela {

// Each line is cut to at most `columns` bytes, never inside a UTF-8 sequence.
std::vector<std::string> ProgressLines(const BatchProgressView& view, std::size_t columns);

}  // namespace tonvela
