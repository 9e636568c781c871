#include "ui/recorder/TakeFile.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "convert/TempFile.h"

namespace tonvela {

CTakeFile& CTakeFile::operator=(CTakeFile&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

bool CTakeFile::Create() {
    Remove();
    const std::filesystem::path folder = TemporaryFolder();
    std::string name = (folder / "tvrXXXXXX.wav").string();
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = ::mkstemps(buffer.data(), 4);
    if (fd < 0) return false;
    ::close(fd);
    path_ = buffer.data();
    return true;
}

void CTakeFile::Remove() {
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace tonvela
