// swfdemo [--fps N] OUTDIR [MP3]: writes every sound SWF layout from an MP3 file (without one,
// from a 5-second tone that ffmpeg or lame encodes) and prints the paths of what it wrote.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "swf/MemoryTagSource.h"
#include "swf/Mp3SoundFile.h"
#include "swf/SoundSwfLayouts.h"

extern char** environ;

namespace {

using namespace tonvela;
namespace fs = std::filesystem;

// Runs a program found on PATH with these arguments (no shell); true when it exits with 0.
bool Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A 16-bit mono WAV of a rising three-note tone, for lame.
bool WriteToneWav(const fs::path& path, int rate, int seconds) {
    std::ofstream f(path, std::ios::binary);
    const std::uint32_t samples = static_cast<std::uint32_t>(rate * seconds);
    auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) f.put(static_cast<char>(v >> (8 * i))); };
    auto u16 = [&](std::uint32_t v) { for (int i = 0; i < 2; ++i) f.put(static_cast<char>(v >> (8 * i))); };
    f.write("RIFF", 4);
    u32(36 + samples * 2);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate * 2));
    u16(2);
    u16(16);
    f.write("data", 4);
    u32(samples * 2);
    double phase = 0;
    for (std::uint32_t i = 0; i < samples; ++i) {
        const double freq = 440.0 * (1 + static_cast<double>(i * 3 / samples) / 4.0);
        phase += 2 * 3.14159265358979 * freq / rate;
        u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(12000 * std::sin(phase))));
    }
    return static_cast<bool>(f);
}

// CBR, no ID3 tag, no Xing frame: the data starts with a frame header.
bool MakeToneMp3(const fs::path& dir, const fs::path& mp3) {
    if (Run({"ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-f", "lavfi", "-i",
             "sine=frequency=440:beep_factor=2:duration=5:sample_rate=22050", "-ac", "1", "-c:a",
             "libmp3lame", "-b:a", "32k", "-write_xing", "0", "-id3v2_version", "0", mp3.string()}))
        return true;
    const fs::path wav = dir / "tone.wav";
    const bool ok = WriteToneWav(wav, 22050, 5) &&
                    Run({"lame", "--quiet", "-t", "--cbr", "-b", "32", "-m", "m", wav.string(), mp3.string()});
    std::error_code ec;
    fs::remove(wav, ec);
    return ok;
}

// What the conversion would report: samples per channel and whole seconds.
bool MeasureMp3(const fs::path& mp3, SoundSwfNumbers& numbers) {
    CMp3SoundFile f;
    if (!f.Open(mp3)) return false;
    std::uint64_t frames = 0;
    while (f.NextFrameLength() > 0) ++frames;
    const std::uint64_t samples = frames * static_cast<std::uint64_t>(f.SamplesPerMp3Frame());
    numbers.outputSamples = static_cast<std::uint32_t>(samples);
    numbers.convertedSeconds = static_cast<int>(samples / static_cast<std::uint64_t>(f.SampleRate()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int fps = 12;
    if (args.size() >= 2 && args[0] == "--fps") {
        fps = std::atoi(args[1].c_str());
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args.size() > 2 || fps < 1) {
        std::fprintf(stderr, "usage: swfdemo [--fps N] OUTDIR [MP3]\n");
        return 2;
    }
    const fs::path outDir = args[0];
    std::error_code ec;
    fs::create_directories(outDir, ec);
    fs::path mp3;
    if (args.size() == 2) {
        mp3 = args[1];
    } else {
        mp3 = outDir / "tone.mp3";
        if (!MakeToneMp3(outDir, mp3)) {
            std::fprintf(stderr, "swfdemo: could not make a tone MP3 (is ffmpeg or lame installed?)\n");
            return 1;
        }
        std::printf("%s\n", mp3.c_str());
    }
    SoundSwfNumbers numbers;
    if (!MeasureMp3(mp3, numbers)) {
        std::fprintf(stderr,
                     "swfdemo: %s is not a usable MP3 (it must start with a frame header, no ID3 tag, "
                     "at 11025, 22050 or 44100 Hz)\n",
                     mp3.c_str());
        return 1;
    }

    SoundSwfOptions options;
    options.frameRate = fps;
    TemplateActions actions;
    CMemoryTagSource controls = MakeDemoControlTemplate(200, 120, 0x00AA00, actions);
    const std::string stem = mp3.stem().string();
    int failures = 0;
    auto report = [&](bool ok, const fs::path& path) {
        if (ok) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "swfdemo: writing %s failed\n", path.c_str());
            ++failures;
        }
    };

    options.copyControls = true;
    fs::path p = outDir / (stem + ".controls.swf");
    report(WriteStreamingSwf(options, numbers, mp3, p, controls, actions), p);

    options.copyControls = false;
    p = outDir / (stem + ".streaming.swf");
    report(WriteStreamingSwf(options, numbers, mp3, p, controls, actions), p);

    p = outDir / (stem + ".event.swf");
    report(WriteEventSwf(options, numbers, mp3, p, controls, actions), p);

    p = outDir / (stem + ".pair.swf");
    const fs::path player = outDir / (stem + ".pair.player.swf");
    const bool pairOk = WriteShellPlayerPair(options, numbers, mp3, p, player, controls);
    report(pairOk, p);
    if (pairOk) std::printf("%s\n", player.c_str());
    return failures == 0 ? 0 : 1;
}
