// What the per-file conversion measured, read by the SWF writers, the HTML page and the preview.
#pragma once

#include <cstdint>
#include <string>

namespace tonvela {

struct ConvertResult {
    // Samples per channel of the encoded sound at the MP3 rate (the DefineSound sample count).
    std::uint32_t outputSamples = 0;
    // Converted source samples / source rate, whole seconds.
    std::uint32_t convertedSeconds = 0;
    // Samples of silence the encoder put before the sound (lame_get_encoder_delay). With the
    // decoder's own delay of 529 samples this is what an event sound skips at every loop.
    std::uint32_t encoderDelay = 0;
    // Whole seconds of sound the source gave; wholeSource when it was read to its end (not
    // stopped at a set duration). declaredSeconds: what the file's own count promised, when the
    // source ended more than a second before it (a file cut while it was read); 0 otherwise.
    std::uint32_t sourceSeconds = 0;
    bool wholeSource = false;
    std::uint32_t declaredSeconds = 0;
    // Why the file was refused before it was encoded (a setting leaves it no room); empty otherwise.
    std::string refusal;
    // Why the conversion failed otherwise (the file, the encoder, the temporary files); empty
    // when it did not or was cancelled.
    std::string failure;
};

// The refusal of a source that decodes to no samples at all (a header without data): a movie
// of one silent frame is no conversion.
inline constexpr const char* kRefusalNoSound = "No sound: the file holds no samples";

// The note a converted entry's status gets when its source gave `got` of the `declared` seconds.
std::string SourceEndedEarlyNote(std::uint32_t got, std::uint32_t declared);

// The MP3 decoder's delay in samples, added to the encoder's delay for SeekSamples.
inline constexpr std::uint32_t kMp3DecoderDelay = 529;

}  // namespace tonvela
