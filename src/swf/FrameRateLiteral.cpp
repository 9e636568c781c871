#include "swf/FrameRateLiteral.h"

#include <algorithm>
#include <iterator>

namespace tonvela {

std::optional<std::size_t> FindFrameRateLiteral(const std::uint8_t* bytes, std::size_t length) {
    if (!bytes) return std::nullopt;
    const std::uint8_t* end = bytes + length;
    const std::uint8_t* hit =
        std::search(bytes, end, std::begin(kFrameRateLiteral), std::end(kFrameRateLiteral));
    if (hit == end) return std::nullopt;
    return static_cast<std::size_t>(hit - bytes) + kFrameRateLiteralValueOffset;
}

std::optional<std::size_t> FindFrameRateLiteral(const ActionTag& tag) {
    return FindFrameRateLiteral(tag.bytes.data(), tag.bytes.size());
}

}  // namespace tonvela
