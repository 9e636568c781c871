// Inputs for the decoding-library tests: files encoded by the ffmpeg tool at test time, a tiny
// ProTracker module written byte by byte, and ffmpeg's own decode as the reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/TestUtil.h"

namespace tonvela::test {

// Encodes `seconds` of a test signal (a different tone per channel) with the given ffmpeg
// output arguments. Returns false when ffmpeg fails (for example a missing encoder).
inline bool EncodeWithFfmpeg(const std::string& out, int channels, int rate, double seconds,
                             const std::vector<std::string>& outputArgs) {
    std::string expr;
    for (int c = 0; c < channels; ++c) {
        if (c > 0) expr += "|";
        expr += "0.4*sin(2*PI*" + std::to_string(220 + 110 * c) + "*t)+0.05*sin(2*PI*" + std::to_string(3000 + 500 * c) +
                "*t)";
    }
    expr = "aevalsrc=" + expr + ":s=" + std::to_string(rate) + ":d=" + std::to_string(seconds);
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", expr};
    args.insert(args.end(), outputArgs.begin(), outputArgs.end());
    args.push_back(out);
    return RunCommand(args) == 0;
}

// ffmpeg's decode of a file to interleaved signed 16-bit samples at the file's rate and channels.
inline std::vector<std::int16_t> FfmpegDecode(const std::string& in, const std::string& rawOut) {
    if (RunCommand({"ffmpeg", "-hide_banner", "-nostdin", "-y", "-i", in, "-f", "s16le", rawOut}) != 0) return {};
    return ReadS16le(rawOut);
}

// A 4-channel ProTracker module ("M.K.") with one looped square-wave sample and four notes
// on channel 0; a pattern break after row 15 ends the song after 16 rows (about 1.92 s at the
// default speed 6, tempo 125).
inline std::vector<std::uint8_t> MakeProTrackerModule() {
    std::vector<std::uint8_t> m;
    auto putName = [&m](const char* text, std::size_t size) {
        std::size_t i = 0;
        for (; text[i] != '\0' && i < size; ++i) m.push_back(static_cast<std::uint8_t>(text[i]));
        for (; i < size; ++i) m.push_back(0);
    };
    putName("tonvela test", 20);
    const unsigned sampleBytes = 64;
    for (int s = 0; s < 31; ++s) {
        putName(s == 0 ? "square" : "", 22);
        PutBe16(m, s == 0 ? sampleBytes / 2 : 0);  // length in words
        m.push_back(0);                              // finetune
        m.push_back(s == 0 ? 64 : 0);                // volume
        PutBe16(m, 0);                               // loop start (words)
        PutBe16(m, s == 0 ? sampleBytes / 2 : 1);    // loop length (words)
    }
    m.push_back(1);    // song length: one position
    m.push_back(127);  // restart byte
    for (int i = 0; i < 128; ++i) m.push_back(0);  // every position plays pattern 0
    PutText(m, "M.K.");
    const unsigned periods[4] = {428, 381, 339, 320};  // C-2, D-2, E-2, F-2
    for (int row = 0; row < 64; ++row) {
        for (int ch = 0; ch < 4; ++ch) {
            unsigned period = 0, sample = 0, effect = 0, param = 0;
            if (ch == 0 && row % 4 == 0 && row < 16) {
                period = periods[row / 4];
                sample = 1;
            }
            if (ch == 1 && row == 15) effect = 0xD;  // pattern break: the song ends here
            m.push_back(static_cast<std::uint8_t>((sample & 0xF0) | (period >> 8)));
            m.push_back(static_cast<std::uint8_t>(period & 0xFF));
            m.push_back(static_cast<std::uint8_t>(((sample & 0x0F) << 4) | effect));
            m.push_back(static_cast<std::uint8_t>(param));
        }
    }
    for (unsigned i = 0; i < sampleBytes; ++i) m.push_back(i < sampleBytes / 2 ? 0x50 : 0xB0);  // +80 / -80
    return m;
}

}  // namespace tonvela::test
