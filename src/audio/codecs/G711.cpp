#include "audio/codecs/G711.h"

namespace tonvela {

std::int16_t ExpandALaw(std::uint8_t code) { return detail::kALawTable[code]; }

std::int16_t ExpandMuLaw(std::uint8_t code) { return detail::kMuLawTable[code]; }

}  // namespace tonvela
