#include "convert/SupportedExtensions.h"

#include <algorithm>
#include <array>

namespace tonvela {

namespace {

constexpr std::array<std::string_view, 52> kSupported = {
    ".mp3", ".aac", ".aiff", ".aif", ".aifc", ".afc", ".au",  ".cda", ".adx", ".ac3",
    ".flac", ".fla", ".mo3", ".mod", ".xm",   ".it",  ".s3m", ".mtm", ".umx", ".ape",
    ".mac", ".mp2", ".mp1", ".m4a", ".m4b",  ".mp4", ".mpc", ".mp+", ".mpp", ".snd",
    ".ogg", ".oga", ".spx", ".tta", ".wav",  ".wave", ".wv", ".wma", ".wmv", ".asf",
    // Formats of today that FFmpeg decodes.
    ".opus", ".webm", ".weba", ".mka", ".caf", ".w64", ".rf64", ".m4r", ".3gp", ".amr", ".dts", ".mpga"};

// The extension buffer held 16 characters with its terminator.
constexpr std::size_t kMaxExtensionLength = 15;

}  // namespace

std::string_view ExtensionOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
}

bool IsSupportedExtension(std::string_view extension) {
    if (extension.empty() || extension.size() > kMaxExtensionLength) return false;
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return std::find(kSupported.begin(), kSupported.end(), lower) != kSupported.end();
}

}  // namespace tonvela
