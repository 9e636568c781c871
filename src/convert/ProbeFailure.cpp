#include "convert/ProbeFailure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "audio/DecoderLibrary.h"
#include "convert/SupportedExtensions.h"
#include "platform/UniqueFd.h"

namespace tonvela {

namespace {

std::string ErrnoText(int error) {
    std::string s = std::strerror(error);
    if (!s.empty()) s[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
    return s;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string ProbeFailureReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT) return "the file does not exist";
        return "the file cannot be looked at: " + ErrnoText(error);
    }
    if (S_ISDIR(st.st_mode)) return "a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "not a regular file (a device, pipe or socket holds no sound file)";
    // Opening a regular file never blocks, so it is safe to try here.
    const CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsOpen()) return "the file cannot be read: " + ErrnoText(errno);
    if (st.st_size == 0) return "the file is empty";
    if (std::string refused = DecoderRefusalReason(path); !refused.empty()) return refused;
    const std::string ext = Lower(std::string(ExtensionOf(path)));
    if (ext.empty() || !IsSupportedExtension(ext))
        return ext.empty() ? "not a sound file: it has no extension and no decoder knows its content"
                           : "not a sound file: " + ext + " is no supported audio format and no decoder knows its content";
    return "damaged, or not really a " + ext + " file: no decoder can read sound from it";
}

}  // namespace tonvela
