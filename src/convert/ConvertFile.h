// One audio file of the list to a temporary MP3 file: decoding, 8-bit widening, volume,
// trimming, duration limit, progress and cancel.
#pragma once

#include <string>

#include "audio/AudioSource.h"
#include "convert/ConvertProgress.h"
#include "convert/ConvertResult.h"

namespace tonvela {

class CConvertOptions;

// Decodes the file of this kind and path and encodes it into mp3Path. True when the MP3 file is
// complete; result then holds its numbers. False on any failure and on Cancel (the MP3 file's
// content is then removed). Shows nothing: the caller reports the failure. A long sound is
// encoded on up to encodeThreads cores (0: all of the machine's); the MP3 is the same kind of
// stream either way.
bool ConvertFile(AudioKind kind, const std::string& path, const std::string& mp3Path,
                 CConvertProgress& progress, const CConvertOptions& settings, ConvertResult& result,
                 int encodeThreads = 0);

}  // namespace tonvela
