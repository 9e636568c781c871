// Where the program's shipped data lives (ControlSWF/, empty.swf, sample.jpg, Template.htm).
#pragma once

#include <filesystem>
#include <string>

namespace tonvela {

// The data folder, always with a trailing "/": $TONVELA_DATA_DIR when set; else the
// executable's folder when it holds ControlSWF/ (a build tree runs in place); else
// <executable's folder>/../share/tonvela/ when it holds ControlSWF/ (an installation, wherever
// it was put); else <install prefix>/share/tonvela/. Not checked for existence beyond that.
std::string DataFolder();

// The rule above with its inputs given (for tests): envValue may be null; exeFolder may be
// empty when the executable's folder is unknown.
std::string DataFolderFrom(const char* envValue, const std::filesystem::path& exeFolder,
                           const std::filesystem::path& installDataFolder);

// Folder of the running executable (from /proc/self/exe); empty when unknown.
std::filesystem::path ExecutableFolder();

}  // namespace tonvela
