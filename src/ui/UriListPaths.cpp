#include "ui/UriListPaths.h"

#include <optional>

#include "platform/PercentEncode.h"

namespace tonvela {

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
        if (c != prefix[i]) return false;
    }
    return true;
}

// One URI of the list: its path's bytes when it names a local file.
std::optional<std::string> LocalPath(std::string_view uri) {
    if (!StartsWithNoCase(uri, "file:")) return std::nullopt;
    std::string_view rest = uri.substr(5);
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost"))) return std::nullopt;
        rest.remove_prefix(slash);
    }
    // A query or fragment is not part of the name (a "?" or "#" in a name comes encoded).
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    std::string path = PercentDecode(rest);
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return path;
}

}  // namespace

std::vector<std::string> LocalPathsOfUriList(std::string_view list) {
    std::vector<std::string> paths;
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        if (std::optional<std::string> path = LocalPath(line)) paths.push_back(std::move(*path));
    }
    return paths;
}

}  // namespace tonvela
