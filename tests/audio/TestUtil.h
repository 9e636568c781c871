// Helpers shared by the audio tests: running the reference tools, temporary folders, raw files.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace tonvela::test {

// Runs a program (searched in PATH) with the given arguments, without a shell. Its standard
// output and error go to /dev/null unless stdoutPath names a file to receive standard output.
// Returns the exit status, or -1 when the program could not be run or was killed.
inline int RunCommand(const std::vector<std::string>& args, const std::string& stdoutPath = "") {
    if (args.empty()) return -1;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutPath.empty())
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True when the program answers (used to skip tests when a reference tool is missing).
inline bool HaveTool(const std::string& name) { return RunCommand({"which", name}) == 0; }

// A fresh folder under the system temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (int i = 0; i < 100; ++i) {
            auto candidate = base / ("tonvela-test-" + std::to_string(rd()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = candidate;
                break;
            }
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Raw signed 16-bit little-endian samples, as "sox ... -t raw -e signed -b 16" or
// "ffmpeg ... -f s16le" write them.
inline std::vector<std::int16_t> ReadS16le(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return samples;
}

// Raw signed 32-bit little-endian samples ("-e signed -b 32" / "-f s32le").
inline std::vector<std::int32_t> ReadS32le(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    std::vector<std::int32_t> samples(bytes.size() / 4);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[4 * i]) |
                                               static_cast<std::uint32_t>(bytes[4 * i + 1]) << 8 |
                                               static_cast<std::uint32_t>(bytes[4 * i + 2]) << 16 |
                                               static_cast<std::uint32_t>(bytes[4 * i + 3]) << 24);
    return samples;
}

// Little-endian field writers for files built by hand.
inline void PutLe16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
    v.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
}
inline void PutLe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>((x >> (8 * i)) & 0xFF));
}
inline void PutBe16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
}
inline void PutBe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 3; i >= 0; --i) v.push_back(static_cast<std::uint8_t>((x >> (8 * i)) & 0xFF));
}
inline void PutText(std::vector<std::uint8_t>& v, const char* text) {
    for (; *text != '\0'; ++text) v.push_back(static_cast<std::uint8_t>(*text));
}

}  // namespace tonvela::test
