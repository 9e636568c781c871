#include "swf/ColourMap.h"

#include <algorithm>
#include <cmath>

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

// The symbols drawn on the buttons: white on every kind with a face, except the track kind,
// whose symbols (and knob) are grey 0xE7 before recolouring.
constexpr std::uint32_t kSymbolWhite = 0xFFFFFF;

double Linear(std::uint32_t channel) {
    const double v = channel / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The colour between a and b at t (0..1), each channel rounded.
std::uint32_t Blend(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<std::uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

double Distance(std::uint32_t a, std::uint32_t b) {
    double sum = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double d = double((a >> shift) & 0xFF) - double((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

// The symbol's colour on ground: the map's own when it stands out, else the nearest of the
// first colours towards white and towards black that do.
std::uint32_t Visible(std::uint32_t symbol, std::uint32_t ground) {
    if (ContrastRatio(symbol, ground) >= kMinSymbolContrast) return symbol;
    std::uint32_t best = symbol;
    double bestDistance = -1;
    for (std::uint32_t end : {0xFFFFFFu, 0x000000u}) {
        for (int step = 1; step <= 255; ++step) {
            const std::uint32_t c = Blend(symbol, end, step / 255.0);
            if (ContrastRatio(c, ground) < kMinSymbolContrast) continue;
            const double d = Distance(c, symbol);
            if (bestDistance < 0 || d < bestDistance) {
                best = c;
                bestDistance = d;
            }
            break;
        }
    }
    return best;
}

// Where symbol (a template colour) would vanish on ground (a colour the map gives), maps it
// to a colour that stands out; a symbol colour the map leaves alone is compared as it is.
void KeepSymbolVisible(CSwfTemplate& tmpl, std::uint32_t symbolFrom, std::uint32_t ground) {
    std::uint32_t symbol = symbolFrom;
    for (const auto& [from, to] : tmpl.ColourMap())
        if (from == symbolFrom) symbol = to;
    const std::uint32_t shown = Visible(symbol, ground);
    if (shown != symbol) tmpl.MapColour(symbolFrom, shown);
}

}  // namespace

double RelativeLuminance(std::uint32_t colour) {
    return 0.2126 * Linear(colour & 0xFF) + 0.7152 * Linear((colour >> 8) & 0xFF) +
           0.0722 * Linear((colour >> 16) & 0xFF);
}

double ContrastRatio(std::uint32_t a, std::uint32_t b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

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
    case kKindText:
        // Labels on the movie's background, no face: nothing to keep apart.
        tmpl.MapColour(Rgb(0x00, 0x00, 0x00), c);
        return;
    case kKindCirclePlain:
    case kKindJpeg:  // its buttons are see-through over the picture; their alpha stays
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
        return;
    }
    // The face's own colour c is what the symbol sits on (the gradients are shades of it).
    KeepSymbolVisible(tmpl, kSymbolWhite, c);
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
    KeepSymbolVisible(tmpl, Grey(0xE7), ScaleColour(c, e));
}

}  // namespace tonvela
