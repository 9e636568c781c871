// Helpers of the conversion tests: decoding with ffmpeg, measuring decoded sound.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/TestUtil.h"

namespace tonvela::test {

// Decodes any file ffmpeg reads (MP3, SWF) to mono 16-bit samples at its own rate.
inline std::vector<std::int16_t> DecodeWithFfmpeg(const std::string& path, const std::string& rawPath,
                                                  int rate = 0) {
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-i", path, "-ac", "1"};
    if (rate > 0) {
        args.push_back("-ar");
        args.push_back(std::to_string(rate));
    }
    for (const char* a : {"-f", "s16le", "-acodec", "pcm_s16le"}) args.emplace_back(a);
    args.push_back(rawPath);
    if (RunCommand(args) != 0) return {};
    const std::vector<std::uint8_t> bytes = ReadFileBytes(rawPath);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return samples;
}

inline double Rms(const std::vector<std::int16_t>& s, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    to = std::min(to, s.size());
    if (from >= to) return 0;
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// Frequency estimated from the upward zero crossings of the middle of the sound.
inline double DominantFrequency(const std::vector<std::int16_t>& s, int rate) {
    if (s.size() < 4) return 0;
    const std::size_t from = s.size() / 4, to = s.size() * 3 / 4;
    std::size_t first = 0, last = 0, crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

}  // namespace tonvela::test
