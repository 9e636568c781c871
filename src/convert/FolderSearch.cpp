#include "convert/FolderSearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "convert/SupportedExtensions.h"
#include "platform/NameOrder.h"
#include "platform/ResolvedPath.h"
#include "platform/UniqueFd.h"

namespace tonvela {

namespace fs = std::filesystem;

namespace {

// Opens a folder whatever its path's length: one past PATH_MAX is walked a component at a
// time, so deep trees are searched too.
CUniqueFd OpenFolder(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (path.size() < PATH_MAX) return CUniqueFd(::open(path.c_str(), kFlags));
    CUniqueFd dir(::open(path[0] == '/' ? "/" : ".", kFlags));
    std::size_t pos = 0;
    while (dir.IsOpen() && pos < path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (!part.empty()) dir = CUniqueFd(::openat(dir.Get(), part.c_str(), kFlags));
    }
    return dir;
}

enum class EntryType { Folder, Regular, Link, Other };

bool Stopped(const SearchStop& stop) { return stop && stop(); }

// Entries of one folder in the file system's order, with their own type (links not
// followed); errors end the listing quietly, and so does stop. Nothing is opened but the folder itself.
template <typename F>
void ForEachEntry(const std::string& folder, F&& f, const SearchStop& stop) {
    CUniqueFd fd = OpenFolder(folder);
    if (!fd.IsOpen()) return;
    DIR* dir = ::fdopendir(fd.Get());
    if (dir == nullptr) return;
    fd.Release();  // closedir closes it
    const std::string prefix = folder == "/" ? folder : folder + "/";
    while (const dirent* d = ::readdir(dir)) {
        if (Stopped(stop)) break;
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
        }
        const EntryType t = type == DT_DIR ? EntryType::Folder
                            : type == DT_REG ? EntryType::Regular
                            : type == DT_LNK ? EntryType::Link
                                             : EntryType::Other;
        f(prefix + name, t);
    }
    ::closedir(dir);
}

void CollectFoldersInto(const std::string& folder, std::vector<std::string>& out, int depth, const SearchStop& stop) {
    out.push_back(folder);
    // Without following links the tree has no cycles; the depth bound only guards the stack.
    if (depth > 512) return;
    std::vector<std::string> subs;
    ForEachEntry(folder, [&](const std::string& path, EntryType type) {
        if (type == EntryType::Folder) subs.push_back(path);
    }, stop);
    std::sort(subs.begin(), subs.end(), NameLess);
    for (const auto& s : subs) {
        if (Stopped(stop)) return;
        CollectFoldersInto(s, out, depth + 1, stop);
    }
}

}  // namespace

std::vector<std::string> CollectFolders(const std::string& folder, const SearchStop& stop) {
    std::vector<std::string> out;
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    CollectFoldersInto(f, out, 0, stop);
    return out;
}

bool ResolveShortcut(const std::string& path, std::string& target) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return false;
    fs::path t = fs::read_symlink(path, ec);
    if (ec) return false;
    if (t.is_relative()) t = fs::path(path).parent_path() / t;
    // Not lexically: a ".." in the target leads up from where the link's folder really is.
    target = ResolvedPath(t.string());
    return true;
}

void AddFoundFile(const std::string& path, std::vector<std::string>& paths) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (!fs::is_symlink(status)) {
        // A FIFO, device or socket is no audio file and may block or never end: left out. A path
        // that cannot be looked at is kept, so that loading it fails in the user's sight.
        const bool special = !ec && fs::exists(status) && !fs::is_regular_file(status);
        if (!special && IsSupportedExtension(ExtensionOf(path))) paths.push_back(path);
        return;
    }
    std::string p = path;
    for (int i = 0; i < kMaxShortcutChain; ++i) {
        std::string target;
        if (!ResolveShortcut(p, target)) return;
        const fs::file_status st = fs::symlink_status(target, ec);
        if (ec) return;
        if (fs::is_symlink(st)) {
            p = target;
            continue;
        }
        // A link to a folder is not searched, and one to an unsupported file is dropped.
        if (fs::is_regular_file(st) && IsSupportedExtension(ExtensionOf(target))) paths.push_back(target);
        return;
    }
}

void CollectFiles(const std::vector<std::string>& folders, std::vector<std::string>& paths, const SearchStop& stop) {
    for (const auto& folder : folders) {
        if (Stopped(stop)) return;
        // Each folder's files in the order people read names, not the file system's.
        std::vector<std::pair<std::string, EntryType>> entries;
        ForEachEntry(folder, [&](const std::string& path, EntryType type) { entries.emplace_back(path, type); }, stop);
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
        for (const auto& [path, type] : entries) {
            // FIFOs, devices and sockets are never audio files: opening a FIFO would block.
            if (type == EntryType::Regular) {
                if (IsSupportedExtension(ExtensionOf(path))) paths.push_back(path);
            } else if (type == EntryType::Link) {
                AddFoundFile(path, paths);
            }
        }
    }
}

void AddDroppedPath(const std::string& path, std::vector<std::string>& paths, const SearchStop& stop) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
        CollectFiles(CollectFolders(path, stop), paths, stop);
        return;
    }
    AddFoundFile(path, paths);
}

std::string ExpandCommandLinePath(const std::string& given, std::vector<std::string>& paths, const SearchStop& stop) {
    std::error_code ec;
    std::string path = ResolvedPath(given);
    if (!fs::is_directory(path, ec)) {
        paths.push_back(path);
        return {};
    }
    CollectFiles(CollectFolders(path, stop), paths, stop);
    return path;
}

std::vector<std::string> ExpandCommandLinePaths(const std::vector<std::string>& given, const SearchStop& stop) {
    std::vector<std::string> paths;
    for (const std::string& in : given) {
        if (stop && stop()) break;
        ExpandCommandLinePath(in, paths, stop);
    }
    return paths;
}

}  // namespace tonvela
