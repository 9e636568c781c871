// Small conversions the built-in readers share: sample bytes to 16-bit samples.
#pragma once

#include <cstdint>

namespace tonvela {

// A 16-bit sample from its high and low byte.
inline std::int16_t Make16(std::uint8_t hi, std::uint8_t lo) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo));
}

// Full-scale float to the top 16 bits of a 32-bit sample; values past full scale are held at
// the ends of the range instead of overflowing the integer conversion, and NaN is silence.
inline std::int16_t FromFloat(double v) {
    double scaled = v * 2147483647.0;
    if (!(scaled == scaled)) scaled = 0.0;
    if (scaled >= 2147483647.0) scaled = 2147483647.0;
    if (scaled <= -2147483648.0) scaled = -2147483648.0;
    return static_cast<std::int16_t>(static_cast<std::int32_t>(scaled) >> 16);
}

}  // namespace tonvela
