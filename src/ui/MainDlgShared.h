// Texts and checks that the main window's files share.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace tonvela::main_dlg {

inline constexpr const char* kNoFilesText = "There aren't files in list.";
inline constexpr const char* kNoSelectionText = "You should select a file at least.";
inline constexpr const char* kHelpIndex = "help/index.html";
inline constexpr const char* kHelpFaq = "help/FAQ.html";
// The folder of the last Add Files, under the window values' key.
inline constexpr const char* kAddFilesFolderName = "AddFilesFolder";

inline bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

}  // namespace tonvela::main_dlg
