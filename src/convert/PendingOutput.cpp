#include "convert/PendingOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace tonvela {

bool CPendingOutput::Create(const std::string& target) {
    Discard();
    const std::filesystem::path t(target);
    std::string pattern = (t.parent_path() / ("." + t.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    temp_ = name.data();
    target_ = target;
    return true;
}

bool CPendingOutput::Commit() {
    if (temp_.empty()) return false;
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        Discard();
        return false;
    }
    temp_.clear();
    return true;
}

void CPendingOutput::Discard() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

}  // namespace tonvela
