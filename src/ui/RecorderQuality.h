// The recorder's quality presets: every one is 16-bit PCM; the buffer holds a little more than
// a second of audio and sets how much the recorder hands to the file or the device at a time.
#pragma once

#include <array>

namespace tonvela {

struct RecorderPreset {
    int code;          // stored as RecQuality and kept as the combo box item's data
    const char* text;  // the combo box item
    int channels;
    int sampleRate;
    int bufferBytes;
};

inline constexpr std::array<RecorderPreset, 6> kRecorderPresets = {{
    {100, "Low quality [Mono]", 1, 11025, 22528},
    {200, "Low quality [Stereo]", 2, 11025, 45056},
    {300, "Medium quality [Mono]", 1, 22050, 45056},
    {400, "Medium quality [Stereo]", 2, 22050, 89088},
    {500, "High quality [Mono]", 1, 44100, 89088},
    {600, "High quality [Stereo]", 2, 44100, 177152},
}};

inline constexpr int kDefaultRecQuality = 300;

// The preset of code; an unknown code records as "Medium quality [Mono]".
constexpr const RecorderPreset& RecorderPresetFor(int code) {
    for (const RecorderPreset& p : kRecorderPresets)
        if (p.code == code) return p;
    return kRecorderPresets[2];
}

}  // namespace tonvela
