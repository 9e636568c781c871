// A fresh folder under the temporary directory, removed with everything in it afterwards.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace tonvela::test {

class CTestTempDir {
public:
    CTestTempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tonvela-test-XXXXXX").string();
        if (::mkdtemp(tmpl.data())) path_ = tmpl;
    }
    CTestTempDir(const CTestTempDir&) = delete;
    CTestTempDir& operator=(const CTestTempDir&) = delete;
    ~CTestTempDir() {
        if (path_.empty()) return;
        std::error_code ec;
        // Restore write access a test may have taken away, so removal works.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec)) ::chmod(it->path().c_str(), 0700);
        ::chmod(path_.c_str(), 0700);
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << text;
}

inline std::string ReadText(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Number of entries in a folder (temporary files left behind show up here).
inline int CountEntries(const std::filesystem::path& folder) {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

// Whether the folder really refuses new files (not so for root, which ignores the mode bits).
inline bool FolderRefusesWrites(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK) != 0;
}

}  // namespace tonvela::test
