#include "platform/ResolvedPath.h"

#include <filesystem>
#include <system_error>

namespace tonvela {

namespace fs = std::filesystem;

std::string ResolvedPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const fs::path abs = fs::absolute(path, ec);
    if (ec) return path;
    const fs::path name = abs.filename();
    if (name.empty() || name == "." || name == "..") {
        const fs::path whole = fs::weakly_canonical(abs, ec);
        return ec ? abs.string() : whole.string();
    }
    const fs::path folder = fs::weakly_canonical(abs.parent_path(), ec);
    if (ec) return abs.string();
    return (folder / name).string();
}

}  // namespace tonvela
