#include "audio/AudioSource.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tonvela {

namespace {
bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (x != y) return false;
    }
    return i == a.size() && b[i] == '\0';
}
}  // namespace

AudioKind AudioKindFromPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return AudioKindOther;
    const std::string ext = path.substr(dot);
    if (EqualsNoCase(ext, ".wav") || EqualsNoCase(ext, ".wave")) return AudioKindWav;
    if (EqualsNoCase(ext, ".aiff") || EqualsNoCase(ext, ".aif") || EqualsNoCase(ext, ".aifc") ||
        EqualsNoCase(ext, ".afc"))
        return AudioKindAiff;
    if (EqualsNoCase(ext, ".au") || EqualsNoCase(ext, ".snd")) return AudioKindSnd;
    return AudioKindOther;
}

void CAudioSource::SetDurationAndBitRate(std::uint64_t frames, std::uint64_t audioBytes, int bits,
                                         int bitChannels) {
    constexpr auto kIntMax = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    const std::uint64_t seconds = sampleRate_ > 0 ? frames / static_cast<std::uint64_t>(sampleRate_) : 0;
    durationSeconds_ = static_cast<int>(std::min(seconds, kIntMax));
    declaredFrames_ = frames;
    // Header values are untrusted: keep the bit rate inside an int whatever they say. The
    // audio bytes go over the exact length, not the whole seconds (1.95 s is not 1 s).
    std::uint64_t rate = 0;
    if (durationSeconds_ > 0) {
        const long double kbps = static_cast<long double>(audioBytes) * 8.0L * static_cast<long double>(sampleRate_) /
                                  (static_cast<long double>(frames) * 1000.0L);
        rate = kbps >= static_cast<long double>(kIntMax) ? kIntMax : static_cast<std::uint64_t>(kbps + 0.5L);
    } else if (bits > 0 && bitChannels > 0 && sampleRate_ > 0)
        rate = static_cast<std::uint64_t>(bits) * static_cast<std::uint64_t>(bitChannels) *
               static_cast<std::uint64_t>(sampleRate_) / 1000u;
    bitRate_ = static_cast<int>(std::min(rate, kIntMax));
}

void ApplyGain(std::int16_t* left, std::int16_t* right, int count, int channels, float gain) {
    auto scale = [gain](std::int16_t s) {
        float v = std::trunc(static_cast<float>(s) * gain);
        if (!(v <= 32767.0f)) v = 32767.0f;  // NaN goes to the top, as a huge gain would
        if (v < -32767.0f) v = -32767.0f;
        return static_cast<std::int16_t>(v);
    };
    for (int i = 0; i < count; ++i) left[i] = scale(left[i]);
    if (channels == 2 && right != nullptr)
        for (int i = 0; i < count; ++i) right[i] = scale(right[i]);
}

}  // namespace tonvela
