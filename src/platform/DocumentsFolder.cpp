#include "platform/DocumentsFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Process.h"

namespace tonvela {

std::string UserDocumentsFolder() {
    const char* homeEnv = std::getenv("HOME");
    const std::string home = homeEnv ? homeEnv : "";
    std::string dir;
    if (RunProgram({"xdg-user-dir", "DOCUMENTS"}, &dir) == 0) {
        while (!dir.empty() && (dir.back() == '\n' || dir.back() == '\r')) dir.pop_back();
    } else {
        dir.clear();
    }
    // xdg-user-dir answers with the home folder itself when no documents folder is configured.
    auto same = [](const std::string& a, const std::string& b) {
        return std::filesystem::path(a).lexically_normal() == std::filesystem::path(b).lexically_normal();
    };
    if (dir.empty() || dir[0] != '/' || (!home.empty() && same(dir, home)) || same(dir, "/")) {
        if (home.empty() || home[0] != '/') return {};
        dir = home + "/Documents";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (!std::filesystem::is_directory(dir, ec)) return {};
    }
    return dir;
}

}  // namespace tonvela
