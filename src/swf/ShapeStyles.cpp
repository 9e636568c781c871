#include "swf/ShapeStyles.h"

namespace tonvela {

bool WalkShapeStyles(CSwfBitReader& r, bool withAlpha, const std::function<void(std::size_t)>& onColour) {
    const std::size_t colourSize = withAlpha ? 4 : 3;
    // Reads past one colour and reports it only if all of it lay inside the reader's bytes.
    auto colour = [&] {
        const std::size_t at = r.Position();
        for (std::size_t i = 0; i < colourSize; ++i) r.ReadU8();
        if (!r.failed() && onColour) onColour(at);
    };
    auto count = [&] {
        std::uint32_t n = r.ReadU8();
        if (n == 0xFF) n = r.ReadU16();
        return n;
    };
    const std::uint32_t fills = count();
    for (std::uint32_t i = 0; i < fills && !r.failed(); ++i) {
        const std::uint8_t type = r.ReadU8();
        if (type & 0x10) {  // linear or radial gradient
            r.ReadMatrix();
            const std::uint8_t stops = r.ReadU8();
            for (std::uint32_t s = 0; s < stops && !r.failed(); ++s) {
                r.ReadU8();  // ratio
                colour();
            }
        } else if (type & 0x40) {  // bitmap fill
            r.ReadU16();
            r.ReadMatrix();
        } else {
            colour();
        }
    }
    const std::uint32_t lines = count();
    for (std::uint32_t i = 0; i < lines && !r.failed(); ++i) {
        r.ReadU16();  // width
        colour();
    }
    return !r.failed();
}

}  // namespace tonvela
