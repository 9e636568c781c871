#include "convert/FolderSearch.h"

#include <filesystem>
#include <system_error>

#include "convert/SupportedExtensions.h"

namespace tonvela {

namespace fs = std::filesystem;

namespace {

// Entries of one folder in the file system's order; errors end the listing quietly.
template <typename F>
void ForEachEntry(const std::string& folder, F&& f) {
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) return;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return;
        f(*it);
    }
}

bool IsRealFolder(const fs::directory_entry& e) {
    std::error_code ec;
    return e.symlink_status(ec).type() == fs::file_type::directory;
}

void CollectFoldersInto(const std::string& folder, std::vector<std::string>& out, int depth) {
    out.push_back(folder);
    // Without following links the tree has no cycles; the depth bound only guards the stack.
    if (depth > 512) return;
    std::vector<std::string> subs;
    ForEachEntry(folder, [&](const fs::directory_entry& e) {
        if (IsRealFolder(e)) subs.push_back(e.path().string());
    });
    for (const auto& s : subs) CollectFoldersInto(s, out, depth + 1);
}

}  // namespace

std::vector<std::string> CollectFolders(const std::string& folder) {
    std::vector<std::string> out;
    std::string f = folder;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    CollectFoldersInto(f, out, 0);
    return out;
}

bool ResolveShortcut(const std::string& path, std::string& target) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return false;
    fs::path t = fs::read_symlink(path, ec);
    if (ec) return false;
    if (t.is_relative()) t = fs::path(path).parent_path() / t;
    target = t.lexically_normal().string();
    return true;
}

void AddFoundFile(const std::string& path, std::vector<std::string>& paths) {
    std::error_code ec;
    const bool isLink = fs::is_symlink(fs::symlink_status(path, ec));
    if (!isLink) {
        if (IsSupportedExtension(ExtensionOf(path))) paths.push_back(path);
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

void CollectFiles(const std::vector<std::string>& folders, std::vector<std::string>& paths) {
    for (const auto& folder : folders) {
        ForEachEntry(folder, [&](const fs::directory_entry& e) {
            if (IsRealFolder(e)) return;
            AddFoundFile(e.path().string(), paths);
        });
    }
}

void AddDroppedPath(const std::string& path, std::vector<std::string>& paths) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
        CollectFiles(CollectFolders(path), paths);
        return;
    }
    AddFoundFile(path, paths);
}

}  // namespace tonvela
