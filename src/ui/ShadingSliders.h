// The shading sliders of the SWF page: three for the circle-gradient templates (GC values 1, 3
// and 4), one for the track templates (TBC). A position is the coefficient x 100.
#pragma once

#include <array>
#include <cstddef>

namespace tonvela {

struct SliderSpec {
    int high;
    int pageStep;
};
// The three shading sliders of kind 100, then the one of kind 300.
inline constexpr std::array<SliderSpec, 4> kShadingSliders = {{{100, 10}, {100, 10}, {100, 10}, {500, 20}}};
// The GC value each of the three kind-100 sliders moves.
inline constexpr std::array<std::size_t, 3> kSliderGcIndex = {0, 2, 3};
// "Style 1" to "Style 3": the three kind-100 slider positions.
inline constexpr std::array<std::array<int, 3>, 3> kShadingPresets = {{{40, 30, 80}, {60, 0, 50}, {70, 10, 10}}};

// Shading coefficient <-> slider position (coefficient x 100). Positions are rounded so that
// a position survives being stored as a float coefficient and read back.
int SliderPosition(float coefficient);
float SliderCoefficient(int position);

}  // namespace tonvela
