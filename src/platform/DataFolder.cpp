#include "platform/DataFolder.h"

#include <cstdlib>
#include <system_error>

#ifndef TONVELA_INSTALL_DATADIR
#define TONVELA_INSTALL_DATADIR "/usr/local/share/tonvela"
#endif

namespace tonvela {

namespace {

std::string WithSlash(std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

}  // namespace

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return exe.parent_path();
}

std::string DataFolderFrom(const char* envValue, const std::filesystem::path& exeFolder,
                           const std::filesystem::path& installDataFolder) {
    if (envValue && *envValue) return WithSlash(envValue);
    if (!exeFolder.empty()) {
        std::error_code ec;
        if (std::filesystem::is_directory(exeFolder / "ControlSWF", ec)) return WithSlash(exeFolder.string());
        // An installation moved or packaged under another prefix than it was built for
        // (cmake --install --prefix, a .deb built for /usr) finds its data beside bin/.
        const std::filesystem::path shared = (exeFolder / ".." / "share" / "tonvela").lexically_normal();
        if (std::filesystem::is_directory(shared / "ControlSWF", ec)) return WithSlash(shared.string());
    }
    return WithSlash(installDataFolder.string());
}

std::string DataFolder() {
    return DataFolderFrom(std::getenv("TONVELA_DATA_DIR"), ExecutableFolder(), TONVELA_INSTALL_DATADIR);
}

}  // namespace tonvela
