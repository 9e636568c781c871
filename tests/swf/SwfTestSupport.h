// Helpers of the SWF writer tests: temporary folders, MP3 files made by ffmpeg or lame, a plain
// SWF tag lister written straight from the file format (independent of src/swf), and sample
// counts decoded by ffmpeg.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace tonvela::swftest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("tonvela-swf-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Runs a program (no shell); stdout goes to outPath when given, else to /dev/null. Exit status
// 0 gives true.
inline bool Run(const std::vector<std::string>& args, const fs::path* outPath = nullptr) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, outPath ? outPath->c_str() : "/dev/null",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A CBR MP3 without ID3 tag and without Xing/Info frame, made by ffmpeg's LAME encoder from a
// tone: the data starts with a frame header at offset 0.
inline bool MakeMp3(const fs::path& path, int rate, int channels, double seconds, int kbps = 64) {
    return Run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                "sine=frequency=523:beep_factor=3:sample_rate=" + std::to_string(rate) +
                    ":duration=" + std::to_string(seconds),
                "-ac", std::to_string(channels), "-ar", std::to_string(rate), "-c:a", "libmp3lame",
                "-b:a", std::to_string(kbps) + "k", "-write_xing", "0", "-id3v2_version", "0",
                path.string()});
}

// The same made by the lame program from a WAV that ffmpeg writes (a second encoder front end).
inline bool MakeMp3WithLame(const fs::path& path, int rate, int channels, double seconds) {
    const fs::path wav = fs::path(path).replace_extension(".wav");
    const bool ok =
        Run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
             "sine=frequency=330:sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds),
             "-ac", std::to_string(channels), "-c:a", "pcm_s16le", wav.string()}) &&
        Run({"lame", "--quiet", "-t", "--cbr", "-b", "32", "-m", channels == 1 ? "m" : "s",
             wav.string(), path.string()});
    std::error_code ec;
    fs::remove(wav, ec);
    return ok;
}

inline std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Samples per channel that ffmpeg decodes from the file's audio stream number `stream`.
inline std::optional<std::uint64_t> DecodedSamples(const fs::path& path, int channels, int stream = 0,
                                                   const fs::path* scratch = nullptr) {
    const fs::path pcm = scratch ? *scratch : fs::path(path.string() + ".pcm");
    if (!Run({"ffmpeg", "-nostdin", "-v", "error", "-i", path.string(), "-map",
              "0:a:" + std::to_string(stream), "-f", "s16le", "-ac", std::to_string(channels), "-"},
             &pcm))
        return std::nullopt;
    std::error_code ec;
    const auto size = fs::file_size(pcm, ec);
    fs::remove(pcm, ec);
    if (ec) return std::nullopt;
    return size / (2u * static_cast<unsigned>(channels));
}

// ---- A plain SWF lister -----------------------------------------------------------------------

struct ParsedTag {
    int code = 0;
    std::size_t offset = 0;      // tag header
    std::size_t bodyOffset = 0;
    std::uint32_t length = 0;    // body
    std::vector<std::uint8_t> body;
};

struct ParsedSwf {
    bool ok = false;
    std::string signature;
    int version = 0;
    std::uint32_t fileLength = 0;
    int rectBits = 0;
    std::int64_t xmax = 0, ymax = 0;  // twips (xmin, ymin must be 0 for our files)
    int frameRateFixed = 0;           // 8.8
    int frameCount = 0;
    std::vector<ParsedTag> tags;

    int Count(int code) const {
        int n = 0;
        for (const ParsedTag& t : tags) n += t.code == code;
        return n;
    }
};

inline ParsedSwf ParseSwf(const std::vector<std::uint8_t>& b) {
    ParsedSwf s;
    if (b.size() < 9) return s;
    s.signature.assign(b.begin(), b.begin() + 3);
    s.version = b[3];
    s.fileLength = b[4] | b[5] << 8 | b[6] << 16 | static_cast<std::uint32_t>(b[7]) << 24;
    // RECT: 5-bit size, then four fields, MSB first.
    std::size_t bit = 64;
    auto take = [&](int n) {
        std::int64_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) v = v << 1 | ((b[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    s.rectBits = static_cast<int>(take(5));
    if (static_cast<std::size_t>((64 + 5 + 4 * s.rectBits + 7) / 8 + 4) > b.size()) return s;
    const std::int64_t xmin = take(s.rectBits);
    s.xmax = take(s.rectBits);
    const std::int64_t ymin = take(s.rectBits);
    s.ymax = take(s.rectBits);
    if (xmin != 0 || ymin != 0) return s;
    std::size_t pos = (bit + 7) / 8;
    s.frameRateFixed = b[pos] | b[pos + 1] << 8;
    s.frameCount = b[pos + 2] | b[pos + 3] << 8;
    pos += 4;
    while (pos + 2 <= b.size()) {
        ParsedTag t;
        t.offset = pos;
        const int v = b[pos] | b[pos + 1] << 8;
        t.code = v >> 6;
        t.length = static_cast<std::uint32_t>(v & 63);
        pos += 2;
        if (t.length == 63) {
            if (pos + 4 > b.size()) return s;
            t.length = b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | static_cast<std::uint32_t>(b[pos + 3]) << 24;
            pos += 4;
        }
        if (t.length > b.size() - pos) return s;
        t.bodyOffset = pos;
        t.body.assign(b.begin() + static_cast<long>(pos), b.begin() + static_cast<long>(pos + t.length));
        pos += t.length;
        s.tags.push_back(std::move(t));
        if (s.tags.back().code == 0) break;
    }
    s.ok = pos == b.size() && !s.tags.empty() && s.tags.back().code == 0;
    return s;
}

inline int U16(const std::vector<std::uint8_t>& body, std::size_t at) { return body[at] | body[at + 1] << 8; }
inline int S16(const std::vector<std::uint8_t>& body, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(U16(body, at)));
}

}  // namespace tonvela::swftest
