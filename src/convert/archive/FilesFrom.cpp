#include "convert/archive/FilesFrom.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/UniqueFd.h"

namespace tonvela {

std::string EscapedBytes(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

bool ParseFileList(std::string_view text, bool nul, const std::string& baseDir, std::vector<ListedInput>& inputs,
                   std::string& error) {
    const char separator = nul ? '\0' : '\n';
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::filesystem::path base = std::filesystem::path(baseDir).lexically_normal();
    std::string baseText = base.string();
    while (baseText.size() > 1 && baseText.back() == '/') baseText.pop_back();
    std::size_t start = 0;
    std::size_t number = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!nul && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!nul && line.find('\0') != std::string_view::npos) {
            error = "line " + std::to_string(number) + " holds a NUL byte (\"" + EscapedBytes(line) +
                    "\"); NUL-separated lists need --null";
            return false;
        }
        const std::filesystem::path p(line);
        std::string full = (p.is_absolute() ? p : base / p).lexically_normal().string();
        while (full.size() > 1 && full.back() == '/') full.pop_back();
        const bool below = baseText == "/" || full.compare(0, baseText.size() + 1, baseText + "/") == 0;
        // A listed folder is searched like a command-line folder; its files then split by
        // their path below the base, so the list's folder lines and file lines agree.
        inputs.push_back({full, below ? baseText : std::string(), number});
    }
    return true;
}

bool ReadFileList(const std::string& listFile, bool nul, const std::string& baseDir, std::vector<ListedInput>& inputs,
                  std::string& error) {
    // Large enough for millions of paths; a bigger "list" is some other file given by mistake.
    constexpr std::size_t kMaxListBytes = std::size_t{1} << 30;
    std::string text;
    std::error_code ec;
    const bool standardInput = listFile == "-" || listFile == "/dev/stdin" || listFile == "/dev/fd/0" ||
                               listFile == "/proc/self/fd/0";
    // Read as a stream whatever it is (a pipe has no size to trust); a folder fails the read.
    CUniqueFd own;
    int fd = STDIN_FILENO;
    if (!standardInput) {
        own.Reset(::open(listFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        if (own.Get() < 0) {
            error = listFile + " cannot be read: " + std::strerror(errno);
            return false;
        }
        fd = own.Get();
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = listFile + " cannot be read: " + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > kMaxListBytes) {
            error = listFile + " is larger than 1 GiB; not a list of files";
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    // A descriptor's name (process substitution gives /dev/fd/63) has no folder of its own.
    const bool descriptor = listFile.rfind("/dev/fd/", 0) == 0 || listFile.rfind("/proc/self/fd/", 0) == 0;
    const std::filesystem::path folder = !baseDir.empty()              ? std::filesystem::absolute(baseDir, ec)
                                         : standardInput || descriptor ? std::filesystem::current_path(ec)
                                                            : std::filesystem::absolute(listFile, ec).parent_path();
    if (ec) {
        error = "the base folder cannot be found: " + ec.message();
        return false;
    }
    return ParseFileList(text, nul, folder.string(), inputs, error);
}

}  // namespace tonvela
