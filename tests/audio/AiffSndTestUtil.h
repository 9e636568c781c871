// Helpers for the AIFF and NeXT/Sun reader tests: whole-file decoding and reference decodes.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "audio/AudioSource.h"

namespace tonvela::test {

struct DecodedAudio {
    std::vector<int> left;
    std::vector<int> right;
    int calls = 0;
    bool overlong = false;  // a Read returned more than kReadFrames
};

// Reads a source to its end; samples are widened to int (8-bit ones stay unsigned).
inline DecodedAudio DecodeAll(CAudioSource& source, std::size_t maxFrames = 20000000) {
    DecodedAudio out;
    std::vector<std::uint8_t> l(kReadFrames * 2 + 64, 0xEE), r(kReadFrames * 2 + 64, 0xEE);
    const bool stereo = source.GetOutputChannels() == 2;
    const bool eight = source.GetBitsPerSample() == 8;
    while (out.left.size() < maxFrames) {
        const int n = source.Read(l.data(), stereo ? r.data() : nullptr);
        if (n < 1) break;
        ++out.calls;
        if (n > kReadFrames) out.overlong = true;
        for (int i = 0; i < n && i < kReadFrames; ++i) {
            const std::size_t k = static_cast<std::size_t>(i);
            if (eight) {
                out.left.push_back(l[k]);
                if (stereo) out.right.push_back(r[k]);
            } else {
                out.left.push_back(static_cast<std::int16_t>(l[2 * k] | l[2 * k + 1] << 8));
                if (stereo) out.right.push_back(static_cast<std::int16_t>(r[2 * k] | r[2 * k + 1] << 8));
            }
        }
    }
    return out;
}

// Open file descriptors of this process: a refused file must leave none behind.
inline std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// Splits interleaved reference samples into one channel.
template <typename T>
std::vector<int> Channel(const std::vector<T>& interleaved, int channels, int channel) {
    std::vector<int> out;
    for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += static_cast<std::size_t>(channels))
        out.push_back(interleaved[i]);
    return out;
}

// sox's decode of a file as raw signed little-endian samples of the given width, undithered.
inline bool SoxDecode(const std::string& in, const std::string& out, int bits) {
    return RunCommand({"sox", "-D", in, "-t", "raw", "-e", "signed", "-b", std::to_string(bits), out}) == 0;
}

// ffmpeg's decode to a raw sample format ("s16le", "s32le", "f32le", "f64le").
inline bool FfmpegDecode(const std::string& in, const std::string& out, const std::string& format) {
    return RunCommand({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", in, "-f", format, out}) == 0;
}

inline std::vector<double> ReadF32le(const std::string& path) {
    const std::vector<std::uint8_t> b = ReadFileBytes(path);
    std::vector<double> out(b.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint32_t bits = static_cast<std::uint32_t>(b[4 * i]) | static_cast<std::uint32_t>(b[4 * i + 1]) << 8 |
                                   static_cast<std::uint32_t>(b[4 * i + 2]) << 16 |
                                   static_cast<std::uint32_t>(b[4 * i + 3]) << 24;
        float f = 0;
        std::memcpy(&f, &bits, 4);
        out[i] = static_cast<double>(f);
    }
    return out;
}

inline std::vector<double> ReadF64le(const std::string& path) {
    const std::vector<std::uint8_t> b = ReadFileBytes(path);
    std::vector<double> out(b.size() / 8);
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::uint64_t bits = 0;
        for (int k = 7; k >= 0; --k) bits = bits << 8 | b[8 * i + static_cast<std::size_t>(k)];
        std::memcpy(&out[i], &bits, 8);
    }
    return out;
}

// The readers' float rule: full scale times 2147483647, truncated, top 16 bits.
inline int FloatRule(double v) { return static_cast<std::int32_t>(v * 2147483647.0) >> 16; }

// A test signal: sine sweeps and noise with loud peaks, made by sox (-R: repeatable).
inline bool MakeSignal(const std::string& path, int rate, int channels, double seconds) {
    std::vector<std::string> args = {"sox", "-R", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels),
                                     "-b", "32", "-e", "floating-point", path, "synth", std::to_string(seconds)};
    const char* kinds[] = {"sine", "whitenoise", "square", "pinknoise", "triangle", "sawtooth"};
    for (int c = 0; c < channels; ++c) {
        args.push_back(kinds[c % 6]);
        if (c % 2 == 0) args.push_back(std::to_string(200 + 310 * c) + "-" + std::to_string(2500 + 150 * c));
    }
    args.insert(args.end(), {"gain", "-0.5"});
    return RunCommand(args) == 0;
}

}  // namespace tonvela::test
