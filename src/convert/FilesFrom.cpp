#include "convert/FilesFrom.h"

#include <filesystem>
#include <iostream>
#include <iterator>

#include "platform/AtomicFile.h"

namespace tonvela {

bool ParseFileList(std::string_view text, bool nul, const std::string& baseDir, std::vector<ListedInput>& inputs,
                   std::string& error) {
    const char separator = nul ? '\0' : '\n';
    if (!nul && text.find('\0') != std::string_view::npos) {
        error = "the list holds a NUL byte; NUL-separated lists need --null";
        return false;
    }
    const std::filesystem::path base = std::filesystem::path(baseDir).lexically_normal();
    std::string baseText = base.string();
    while (baseText.size() > 1 && baseText.back() == '/') baseText.pop_back();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        const std::filesystem::path p(line);
        std::string full = (p.is_absolute() ? p : base / p).lexically_normal().string();
        while (full.size() > 1 && full.back() == '/') full.pop_back();
        const bool below = baseText == "/" || full.compare(0, baseText.size() + 1, baseText + "/") == 0;
        // A listed folder is searched like a command-line folder; its files then split by
        // their path below the base, so the list's folder lines and file lines agree.
        inputs.push_back({full, below ? baseText : std::string()});
    }
    return true;
}

bool ReadFileList(const std::string& listFile, bool nul, const std::string& baseDir, std::vector<ListedInput>& inputs,
                  std::string& error) {
    // Large enough for millions of paths; a bigger "list" is some other file given by mistake.
    constexpr std::size_t kMaxListBytes = std::size_t{1} << 30;
    std::string text;
    std::error_code ec;
    if (listFile == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (!ReadWholeFile(listFile, kMaxListBytes, text)) {
        error = listFile + " cannot be read";
        return false;
    }
    const std::filesystem::path folder = !baseDir.empty() ? std::filesystem::absolute(baseDir, ec)
                                         : listFile == "-"  ? std::filesystem::current_path(ec)
                                                            : std::filesystem::absolute(listFile, ec).parent_path();
    if (ec) {
        error = "the base folder cannot be found: " + ec.message();
        return false;
    }
    return ParseFileList(text, nul, folder.string(), inputs, error);
}

}  // namespace tonvela
