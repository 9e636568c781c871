// A private folder (mode 0700) in the system's temporary folder for the movies the options
// page previews. It is removed with everything in it when the object goes; folders that
// processes no longer running left behind (a crash, a kill) are removed when a new one is made.
// A folder is abandoned when nobody holds the owner lock on its kOwnerFile, by the rule every
// leftover of the program follows (platform/OwnerLock.h).
#pragma once

#include <filesystem>

#include "platform/UniqueFd.h"

namespace tonvela {

class CPreviewFolder {
public:
    // Folder names are kPrefix + "<pid>." + six random characters.
    static constexpr const char* kPrefix = "tonvela-preview.";
    static constexpr const char* kOwnerFile = ".owner";

    CPreviewFolder() = default;
    CPreviewFolder(const CPreviewFolder&) = delete;
    CPreviewFolder& operator=(const CPreviewFolder&) = delete;
    ~CPreviewFolder();

    // Removes stale folders in root, then creates this process's folder there. False when it
    // cannot be created. Without root: the system's temporary folder.
    bool Create();
    bool Create(const std::filesystem::path& root);
    const std::filesystem::path& Path() const { return path_; }

    // Removes root's preview folders whose process is gone; returns how many. Only folders of
    // this user; a symbolic link of that name is removed itself, never followed.
    static int RemoveStale(const std::filesystem::path& root);
    static int RemoveStale();

private:
    std::filesystem::path path_;
    CUniqueFd owner_;  // holds the owner lock while the folder is ours
};

}  // namespace tonvela
