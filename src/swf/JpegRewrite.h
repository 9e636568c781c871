// Rebuilds a JPEG-background template around the user's picture: the movie frame becomes the
// picture's size, the placeholder DefineBitsJPEG2 is replaced by the JPEG file, and the edges of
// every DefineShape that span the 600 x 500 twip placeholder are stretched to the picture.
// Everything else is copied byte for byte. CSwfTemplate::ReplaceJpeg runs it on a loaded template.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tonvela {

// Placeholder rectangle of the shipped template, in twips.
inline constexpr std::int32_t kJpegPlaceholderWidth = 600;
inline constexpr std::int32_t kJpegPlaceholderHeight = 500;

// The rebuilt file, or nothing when the template's tags run past its end, a shape cannot be
// rewritten (new styles inside a DefineShape, malformed records) or the size cannot be
// written. Width and height in pixels, 1 to 32767; edges longer than the format's 17-bit
// field are drawn as several straight pieces.
std::optional<std::vector<std::uint8_t>> RebuildAroundJpeg(const std::vector<std::uint8_t>& swf,
                                                           std::size_t firstTagOffset,
                                                           std::uint8_t version, int frameRate,
                                                           int frameCount,
                                                           const std::vector<std::uint8_t>& jpeg,
                                                           int widthPx, int heightPx);

// One DefineShape body rewritten for a picture of widthTwips x heightTwips.
std::optional<std::vector<std::uint8_t>> StretchShapeBody(const std::uint8_t* body,
                                                          std::size_t length,
                                                          std::int32_t widthTwips,
                                                          std::int32_t heightTwips);

}  // namespace tonvela
