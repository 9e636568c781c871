#include "platform/ProfileFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/AtomicFile.h"

namespace tonvela {

namespace {

constexpr std::size_t kMaxProfileBytes = 1u << 20;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t eol = text.find('\n', start);
        if (eol == std::string::npos) eol = text.size();
        lines.emplace_back(text, start, eol - start);
        start = eol + 1;
    }
    return lines;
}

// Section name of a "[name]" line, or nullopt.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    return Trim(line.substr(1, line.size() - 2));
}

// Name of a "name=value" line, and its value.
bool EntryOf(std::string_view line, std::string_view& name, std::string_view& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    name = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

}  // namespace

std::optional<std::string> CProfileFile::GetString(const std::string& section, const std::string& name) const {
    std::string text;
    if (!ReadWholeFile(FilePath(), kMaxProfileBytes, text)) return std::nullopt;
    bool inSection = false;
    for (const std::string& line : SplitLines(text)) {
        if (auto s = SectionOf(line)) {
            inSection = EqualNoCase(*s, section);
            continue;
        }
        std::string_view n, v;
        if (inSection && EntryOf(line, n, v) && EqualNoCase(n, name)) return std::string(v);
    }
    return std::nullopt;
}

int CProfileFile::GetInt(const std::string& section, const std::string& name, int fallback) const {
    auto s = GetString(section, name);
    if (!s || s->empty()) return fallback;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(s->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return fallback;
    return static_cast<int>(v);
}

bool CProfileFile::WriteString(const std::string& section, const std::string& name, const std::string& value) {
    if (HasLineBreak(section) || HasLineBreak(name) || HasLineBreak(value) || name.empty() ||
        name.find('=') != std::string::npos)
        return false;
    std::string text;
    std::error_code ec;
    if (std::filesystem::exists(FilePath(), ec) && !ReadWholeFile(FilePath(), kMaxProfileBytes, text))
        return false;  // never replace a profile we could not read
    std::vector<std::string> lines = SplitLines(text);
    const std::string entry = name + "=" + value;
    bool inSection = false, done = false;
    std::size_t sectionEnd = lines.size();  // where a new entry goes: after the section's last line
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        if (auto s = SectionOf(lines[i])) {
            if (inSection) break;
            inSection = EqualNoCase(*s, section);
            if (inSection) {
                sectionFound = true;
                sectionEnd = i + 1;
            }
            continue;
        }
        if (!inSection) continue;
        std::string_view n, v;
        if (EntryOf(lines[i], n, v) && EqualNoCase(n, name)) {
            lines[i] = entry;
            done = true;
        } else if (!Trim(lines[i]).empty()) {
            sectionEnd = i + 1;
        }
    }
    if (!done) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    std::filesystem::create_directories(folder_, ec);
    if (ec) return false;
    return WriteFileAtomically(FilePath(), out);
}

}  // namespace tonvela
