// The MP3 encoding of one file from the settings: automatic per source, or the manual choice.
#pragma once

#include "mp3/Mp3Encoder.h"

namespace tonvela {

class CConvertOptions;

// The MP3 rate, bit rate and mono choice for a source of the given rate and delivered channel
// count (1 or 2): automatic per source, or the manual settings.
EncodingChoice ChooseEncoding(const CConvertOptions& settings, int sourceSampleRate, int sourceChannels);

}  // namespace tonvela
