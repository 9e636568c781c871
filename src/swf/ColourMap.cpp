#include "swf/ColourMap.h"

#include <algorithm>

namespace tonvela {

namespace {

constexpr std::uint32_t Grey(std::uint32_t g) { return g | g << 8 | g << 16; }
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | g << 8 | b << 16;
}

template <typename F>
std::uint32_t PerChannel(std::uint32_t colour, F f) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const float v = f(static_cast<float>((colour >> shift) & 0xFF));
        // Truncation toward zero, then the 0..255 limit (also catches NaN and huge factors).
        const float limited = std::clamp(v, 0.0f, 255.0f);
        out |= static_cast<std::uint32_t>(v == v ? limited : 0.0f) << shift;
    }
    return out;
}

// Round-rect greys and their factors relative to the base grey 0x6F (grey / 111).
struct GreyFactor {
    std::uint32_t grey;
    float factor;
};
constexpr GreyFactor kRoundRectGreys[] = {
    {0x77, 1.072072f}, {0x88, 1.2252252f}, {0x66, 0.9189189f}, {0x99, 1.3783784f},
    {0xBB, 1.6846846f}, {0xA6, 1.4954954f}, {0x5E, 0.8468468f}, {0x73, 1.036036f},
};

}  // namespace

std::uint32_t DarkColour(std::uint32_t colour, float k) {
    return PerChannel(colour, [k](float c) { return c * k; });
}

std::uint32_t TintColour(std::uint32_t colour, float k) {
    return PerChannel(colour, [k](float c) {
        return c + static_cast<float>(static_cast<int>((255.0f - c) * k));
    });
}

std::uint32_t ScaleColour(std::uint32_t colour, float f) {
    return PerChannel(colour, [f](float c) { return c * f; });
}

void BuildButtonColourMap(CSwfTemplate& tmpl, int kind, std::uint32_t buttonColour,
                          const std::array<float, 4>& shade) {
    tmpl.ClearColourMap();
    const std::uint32_t c = buttonColour & 0xFFFFFF;
    switch (kind) {
    case kKindCircleGradient:
        tmpl.MapColour(Rgb(0x00, 0x4A, 0x00), DarkColour(c, shade[0]));
        tmpl.MapColour(Rgb(0x1D, 0xA4, 0x00), c);
        tmpl.MapColour(Rgb(0x61, 0xEF, 0x01), TintColour(c, shade[2]));
        tmpl.MapColour(Rgb(0xD5, 0xFF, 0xD7), TintColour(c, shade[3]));
        break;
    case kKindCirclePlain:
    case kKindText:
        tmpl.MapColour(Rgb(0x00, 0x00, 0x00), c);
        break;
    case kKindSquareGradient:
        tmpl.MapColour(Rgb(0x00, 0x33, 0x66), c);
        break;
    case kKindTrumpet:
        tmpl.MapColour(Rgb(0x33, 0x66, 0xCC), c);
        break;
    case kKindRoundRect:
        tmpl.MapColour(Grey(0x6F), c);
        for (const GreyFactor& g : kRoundRectGreys) tmpl.MapColour(Grey(g.grey), ScaleColour(c, g.factor));
        break;
    default:
        break;
    }
}

void BuildTrackColourMap(CSwfTemplate& tmpl, std::uint32_t buttonColour, std::uint32_t topColour,
                         std::uint32_t bottomColour, std::uint32_t borderColour, float trackShade) {
    tmpl.ClearColourMap();
    const std::uint32_t c = buttonColour & 0xFFFFFF;
    const float e = trackShade;
    tmpl.MapColour(Grey(0x66), ScaleColour(c, e));
    tmpl.MapColour(Grey(0x17), ScaleColour(c, 0.2254902f));
    tmpl.MapColour(Grey(0x87), ScaleColour(c, 1.3235294f));
    tmpl.MapColour(Grey(0x55), ScaleColour(c, e * 85.0f / 102.0f));
    tmpl.MapColour(Grey(0x47), ScaleColour(c, e * 71.0f / 102.0f));
    tmpl.MapColour(Grey(0xE7), ScaleColour(c, 2.264706f));
    tmpl.MapColour(Grey(0x88), topColour & 0xFFFFFF);
    tmpl.MapColour(Grey(0xD5), bottomColour & 0xFFFFFF);
    tmpl.MapColour(Grey(0x38), borderColour & 0xFFFFFF);
}

}  // namespace tonvela
