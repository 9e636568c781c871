#include "ui/ShadingSliders.h"

#include <cmath>

namespace tonvela {

int SliderPosition(float coefficient) { return static_cast<int>(std::lround(static_cast<double>(coefficient) * 100.0)); }

float SliderCoefficient(int position) { return static_cast<float>(position / 100.0); }

}  // namespace tonvela
