// The colour maps that turn a template's fixed colours into the user's button and track colours.
// Colours are COLORREF values: red in the low byte, then green, then blue.
#pragma once

#include <array>
#include <cstdint>

#include "swf/SwfTemplate.h"
#include "swf/TemplateKind.h"

namespace tonvela {

// Shading coefficients as the settings hold them (GC; the second value is not used here).
inline constexpr std::array<float, 4> kDefaultShadeCoefficients = {0.4f, 1.0f, 0.3f, 0.8f};

// Clears the map and fills it for kinds 100, 150, 200, 400, 500 and 700; other kinds keep it empty.
// The white symbols of those kinds are mapped too where c would hide them.
void BuildButtonColourMap(CSwfTemplate& tmpl, int kind, std::uint32_t buttonColour,
                          const std::array<float, 4>& shade = kDefaultShadeCoefficients);

// Clears the map and fills it for a track-bar template (kind 300); trackShade is TBC. The
// symbols' grey takes another colour where the face would hide it.
void BuildTrackColourMap(CSwfTemplate& tmpl, std::uint32_t buttonColour, std::uint32_t topColour,
                         std::uint32_t bottomColour, std::uint32_t borderColour,
                         float trackShade = 1.0f);

// The symbols on the buttons (play, stop) stand out from the face they sit on by at least this
// contrast ratio (relative luminance as in WCAG 2: (L1 + 0.05) / (L2 + 0.05)). Where the maps
// above would give less, the symbol takes the nearest colour, towards white or black, that has it.
inline constexpr double kMinSymbolContrast = 3.0;
double RelativeLuminance(std::uint32_t colour);
double ContrastRatio(std::uint32_t a, std::uint32_t b);

// The channel rules, each channel computed alone, truncating toward zero.
std::uint32_t DarkColour(std::uint32_t colour, float k);   // channel x k
std::uint32_t TintColour(std::uint32_t colour, float k);   // channel + (255 - channel) x k
std::uint32_t ScaleColour(std::uint32_t colour, float f);  // channel x f, limited to 0..255

}  // namespace tonvela
