// The four ways a converted MP3 becomes SWF output: streaming sound (with or without the
// template's controls), the sound SWF of a shell-player pair, the pair itself, and event sound.
//
// Each routine writes its output straight to the path given. It returns true only when the
// whole file was written; on any failure it deletes what it wrote and returns false. An MP3 that
// cannot be used (missing, unreadable, not starting with a frame header, a rate other than
// 11025, 22050 or 44100 Hz) is refused before any output is created.
#pragma once

#include <cstdint>
#include <filesystem>

#include "swf/SwfTagSource.h"
#include "swf/TemplateActions.h"

namespace tonvela {

// What the layouts take from the settings; the defaults are the settings' own.
struct SoundSwfOptions {
    int frameRate = 12;               // frames per second asked for (limited by the layouts)
    int blankFrames = 0;              // empty frames between the first frame and the sound
    bool initPlay = true;             // the movie starts playing by itself
    bool loopPlay = false;            // the movie plays in a loop
    bool copyControls = true;         // streaming: copy the template's first-frame tags
    int backgroundColour = 0xFFFFFF;  // red in the low byte
};

// What the conversion measured for the MP3 (filled from its ConvertResult).
struct SoundSwfNumbers {
    std::uint32_t outputSamples = 0;  // samples per channel at the MP3 rate (DefineSound count)
    int convertedSeconds = 0;         // whole seconds
    // Event sound: DefineSound SeekSamples, the encoder's delay plus the decoder's 529 samples
    // (at most 32767).
    std::uint32_t seekSamples = 0;
};

// Frames per second of the streaming layouts: the frame rate asked for, limited to 1..255, lowered for long
// sounds so the movie keeps to 16000 frames (at least 1 frame per second).
int StreamingFrameRate(int swfFrameRate, int convertedSeconds);

// Streaming sound in the template's frame size with its start and end actions; the template's
// first-frame tags (its controls) are copied when copyControls is set.
bool WriteStreamingSwf(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                       const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                       CSwfTagSource& tmpl, const TemplateActions& actions);

// The sound SWF of a shell-player pair: 1 x 1 pixel, the player's version, no actions.
bool WritePlayerSoundSwf(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                         const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                         const CSwfTagSource& player);

// WritePlayerSoundSwf to swfPath, then the (recoloured) player itself to playerSwfPath. When the
// player cannot be written the sound SWF is deleted too.
bool WriteShellPlayerPair(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                          const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                          const std::filesystem::path& playerSwfPath, const CSwfTagSource& player);

// Event sound: the whole MP3 in one DefineSound, started by StartSound (in the first frame, or
// in the second behind the start-stop action when initPlay is clear).
bool WriteEventSwf(const SoundSwfOptions& options, const SoundSwfNumbers& numbers,
                   const std::filesystem::path& mp3Path, const std::filesystem::path& swfPath,
                   const CSwfTagSource& tmpl, const TemplateActions& actions);

}  // namespace tonvela
