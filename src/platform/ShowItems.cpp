#include "platform/ShowItems.h"

#include <filesystem>
#include <system_error>

#include "platform/PercentEncode.h"
#include "platform/Process.h"
#include "platform/ShellOpen.h"

namespace tonvela {

namespace {

// A file manager started by D-Bus activation may take a moment to answer.
constexpr const char* kDbusTimeoutSeconds = "10";

}  // namespace

std::string FileUri(const std::string& absolutePath) {
    return "file://" + PercentEncode(absolutePath, "-._~/");
}

bool ShowItems(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec) return false;
    // The URI holds no quote or backslash, so it sits safely in GVariant text as a string.
    const std::string uris = "['" + FileUri(full.string()) + "']";
    if (RunProgram({"gdbus", "call", "--session", "--timeout", kDbusTimeoutSeconds, "--dest",
                    "org.freedesktop.FileManager1", "--object-path", "/org/freedesktop/FileManager1", "--method",
                    "org.freedesktop.FileManager1.ShowItems", uris, "''"}) == 0)
        return true;
    std::string folder = full.parent_path().string();
    return ShellOpen(folder.empty() ? "/" : folder);
}

}  // namespace tonvela
