// G.711 A-law and mu-law expansion to 16-bit linear samples.
#pragma once

#include <array>
#include <cstdint>

namespace tonvela {

// One expansion routine; readers keep a pointer to the one their file needs.
using G711Expand = std::int16_t (*)(std::uint8_t code);

constexpr std::int16_t ComputeALaw(std::uint8_t code) {
    const int c = code ^ 0x55;
    const int t = (c & 0x0F) * 16;
    const int segment = (c >> 4) & 7;
    int magnitude = 0;
    if (segment == 0)
        magnitude = t + 8;
    else if (segment == 1)
        magnitude = t + 264;
    else
        magnitude = (t + 264) << (segment - 1);
    return static_cast<std::int16_t>((c & 0x80) != 0 ? magnitude : -magnitude);
}

constexpr std::int16_t ComputeMuLaw(std::uint8_t code) {
    const int c = static_cast<std::uint8_t>(~code);
    const int t = ((c & 0x0F) * 8 + 132) << ((c >> 4) & 7);
    return static_cast<std::int16_t>((c & 0x80) != 0 ? 132 - t : t - 132);
}

namespace detail {
template <std::int16_t (*F)(std::uint8_t)>
constexpr std::array<std::int16_t, 256> MakeG711Table() {
    std::array<std::int16_t, 256> table{};
    for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = F(static_cast<std::uint8_t>(i));
    return table;
}
inline constexpr std::array<std::int16_t, 256> kALawTable = MakeG711Table<ComputeALaw>();
inline constexpr std::array<std::int16_t, 256> kMuLawTable = MakeG711Table<ComputeMuLaw>();
}  // namespace detail

// Table look-ups of the functions above (the readers call these once per byte).
std::int16_t ExpandALaw(std::uint8_t code);
std::int16_t ExpandMuLaw(std::uint8_t code);

}  // namespace tonvela
