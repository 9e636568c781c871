#include "convert/archive/Shard.h"

#include <sys/stat.h>

#include <charconv>
#include <map>
#include <utility>

namespace tonvela {

namespace {

bool ParseNumber(std::string_view s, std::uint32_t& n) {
    if (s.empty()) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    return ec == std::errc() && end == s.data() + s.size();
}

// "a//./b/" -> "a/b": the spellings of one relative path give one key.
std::string CanonicalRelative(std::string_view p) {
    std::string out;
    std::size_t i = 0;
    while (i < p.size()) {
        std::size_t j = p.find('/', i);
        if (j == std::string_view::npos) j = p.size();
        const std::string_view part = p.substr(i, j - i);
        if (!part.empty() && part != ".") {
            if (!out.empty()) out += '/';
            out.append(part);
        }
        i = j + 1;
    }
    return out;
}

}  // namespace

bool ParseShardChoice(std::string_view text, ShardChoice& choice) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return false;
    std::uint32_t k = 0, n = 0;
    if (!ParseNumber(text.substr(0, slash), k) || !ParseNumber(text.substr(slash + 1), n) || n == 0 || k >= n)
        return false;
    choice = {k, n};
    return true;
}

std::uint32_t ShardOf(std::string_view relativePath, std::uint32_t count) {
    // FNV-1a over the bytes, then a 64-bit finaliser (splitmix64) so that names differing only
    // in their last characters spread evenly over small shard counts too. Fixed forever: a
    // change would move files between shards of archives already half converted.
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : CanonicalRelative(relativePath)) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    h ^= h >> 31;
    return count <= 1 ? 0 : static_cast<std::uint32_t>(h % count);
}

std::string ShardKey(const std::string& path, const std::string& root) {
    std::string r = root;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    if (r.empty()) {
        const std::size_t slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    if (r == "/") return path.substr(1);
    if (path.size() > r.size() + 1 && path.compare(0, r.size(), r) == 0 && path[r.size()] == '/')
        return path.substr(r.size() + 1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<ShardFile> PartitionFiles(const std::vector<FoundFile>& found, const std::vector<std::string>& roots,
                                      const ShardChoice& choice) {
    auto keyOf = [&](const FoundFile& f) {
        for (const std::string& root : roots) {
            std::string r = root;
            while (r.size() > 1 && r.back() == '/') r.pop_back();
            if (r == "/" || (f.path.size() > r.size() + 1 && f.path.compare(0, r.size(), r) == 0 && f.path[r.size()] == '/'))
                return ShardKey(f.path, r);
        }
        return ShardKey(f.path, f.root);
    };
    std::vector<ShardFile> files;
    std::map<std::pair<dev_t, ino_t>, std::size_t> byIdentity;
    std::map<std::string, std::size_t> byPath;  // files that cannot be looked at: by name
    for (const FoundFile& f : found) {
        const std::string key = keyOf(f);
        struct stat st {};
        std::size_t* known = nullptr;
        std::size_t index = files.size();
        if (::stat(f.path.c_str(), &st) == 0) {
            const auto [it, added] = byIdentity.emplace(std::make_pair(st.st_dev, st.st_ino), index);
            if (!added) known = &it->second;
        } else {
            const auto [it, added] = byPath.emplace(f.path, index);
            if (!added) known = &it->second;
        }
        if (known) {
            ShardFile& first = files[*known];
            if (key < first.key) first.key = key;
            continue;
        }
        files.push_back({f.path, key});
    }
    if (choice.count <= 1) return files;
    std::vector<ShardFile> kept;
    for (ShardFile& f : files)
        if (ShardOf(f.key, choice.count) == choice.index) kept.push_back(std::move(f));
    return kept;
}

void KeepShard(std::vector<std::string>& paths, std::size_t first, const std::string& root, const ShardChoice& choice) {
    if (choice.count <= 1 || first >= paths.size()) return;
    std::size_t kept = first;
    for (std::size_t i = first; i < paths.size(); ++i)
        if (ShardOf(ShardKey(paths[i], root), choice.count) == choice.index) {
            if (kept != i) paths[kept] = std::move(paths[i]);  // a string moved onto itself is emptied
            ++kept;
        }
    paths.resize(kept);
}

}  // namespace tonvela
