#include "platform/ShowItems.h"

#include <filesystem>
#include <system_error>

#include "platform/Process.h"
#include "platform/ShellOpen.h"

namespace tonvela {

namespace {

// A file manager started by D-Bus activation may take a moment to answer.
constexpr const char* kDbusTimeoutSeconds = "10";

}  // namespace

std::string FileUri(const std::string& absolutePath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char ch : absolutePath) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '/') {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
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
