// Whether one sound fits the movie the settings ask for: a SWF counts its frames in 16 bits, and
// a streaming movie spends one frame per 1/fps second of sound besides its blank frames.
#pragma once

#include <cstdint>
#include <string>

namespace tonvela {

class CConvertOptions;

// Empty when a movie of this sound (outputSamples at mp3Rate, convertedSeconds whole seconds of
// source) can be written with these settings; else the reason, naming the setting that leaves
// no room. Only a certain overflow is refused: the sound's frames are counted from below.
std::string FrameLimitBreak(const CConvertOptions& settings, std::uint64_t outputSamples, int mp3Rate,
                            std::uint32_t convertedSeconds);

}  // namespace tonvela
