// Showing a file in the desktop's file manager, selected, as the batch does with its first SWF.
#pragma once

#include <string>

namespace tonvela {

// Asks the file manager over D-Bus (org.freedesktop.FileManager1.ShowItems, through gdbus) to
// show path selected; when no file manager answers, opens the containing folder with
// xdg-open. True when either worked.
bool ShowItems(const std::string& path);

// "file://" URI of an absolute path: every byte but unreserved ones and "/" percent-encoded.
std::string FileUri(const std::string& absolutePath);

}  // namespace tonvela
