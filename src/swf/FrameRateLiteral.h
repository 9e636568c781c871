// Templates that display time keep the movie's frame rate in a variable set by their start
// action; the writer stores the real rate there before writing the action.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "swf/TemplateActions.h"

namespace tonvela {

// The bytes that set it: ActionPush (constant-pool entry 2, integer 12), ActionSetVariable.
inline constexpr std::uint8_t kFrameRateLiteral[11] = {0x96, 0x07, 0x00, 0x08, 0x02, 0x07,
                                                       0x0C, 0x00, 0x00, 0x00, 0x1D};
// Where the 32-bit integer sits inside that sequence.
inline constexpr std::size_t kFrameRateLiteralValueOffset = 6;

// Offset of the 32-bit integer inside the tag (header included) at its first occurrence.
std::optional<std::size_t> FindFrameRateLiteral(const std::uint8_t* bytes, std::size_t length);
std::optional<std::size_t> FindFrameRateLiteral(const ActionTag& tag);

}  // namespace tonvela
