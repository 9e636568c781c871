// The fill and line style arrays of a DefineShape record, walked once for every reader of shapes
// (the recolouring and the picture rewrite).
#pragma once

#include <cstddef>
#include <functional>

#include "swf/SwfBits.h"

namespace tonvela {

// Reads one style array pair at the reader's position: every fill (solid, gradient, bitmap) and
// every line. onColour gets the reader's byte position of each colour (RGB, or RGBA withAlpha)
// that lies whole inside the reader's bytes. False when the arrays run past the end.
bool WalkShapeStyles(CSwfBitReader& r, bool withAlpha, const std::function<void(std::size_t)>& onColour);

}  // namespace tonvela
