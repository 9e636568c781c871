#include "convert/WebPlayerFiles.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/HtmlPage.h"
#include "platform/AtomicFile.h"
#include "platform/OpenRegularFile.h"
#include "platform/UniqueFd.h"
#include "platform/WriteAll.h"

namespace tonvela {

namespace {

namespace fs = std::filesystem;

// Temporary folders of copies in progress; a process holds a lock on its own while it works.
constexpr const char* kTempPrefix = ".tonvela-ruffle-";
constexpr std::size_t kMaxPackageJson = 1u << 16;
constexpr std::size_t kMaxMarker = 4096;

std::string ErrnoText(int err) { return std::generic_category().message(err); }

struct SourceFile {
    std::string name;
    std::uintmax_t size;
};

// The visible regular files of folder (links followed), sorted by name.
bool ListFiles(const fs::path& folder, std::vector<SourceFile>& out) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code fileEc;
        if (name.empty() || name[0] == '.' || !it->is_regular_file(fileEc)) continue;
        const std::uintmax_t size = it->file_size(fileEc);
        if (!fileEc) out.push_back({name, size});
    }
    std::sort(out.begin(), out.end(), [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
    return !ec;
}

// The package's "version" (the first one in package.json, which is the package's own), reduced
// to the characters a version has; empty when unknown.
std::string PackageVersion(const fs::path& file) {
    std::string text;
    if (!ReadWholeFile(file, kMaxPackageJson, text)) return "";
    std::size_t at = text.find("\"version\"");
    if (at == std::string::npos) return "";
    at = text.find_first_not_of(" \t\r\n", at + 9);
    if (at == std::string::npos || text[at] != ':') return "";
    at = text.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || text[at] != '"') return "";
    std::string version;
    for (++at; at < text.size() && text[at] != '"' && version.size() < 64; ++at) {
        const char c = text[at];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' || c == '-' ||
            c == '+')
            version += c;
    }
    return version;
}

std::string ReadMarker(const fs::path& folder) {
    std::string text;
    if (!ReadWholeFile(folder / kWebPlayerMarkerName, kMaxMarker, text)) return "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

enum class Target { Missing, Current, OlderCopy, Foreign };

// What is at folder/ruffle: nothing, our complete copy of this version, our copy of another
// version, or something the user put there (a symbolic link counts as the user's).
Target Inspect(const fs::path& target, const std::string& version) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) return errno == ENOENT ? Target::Missing : Target::Foreign;
    if (!S_ISDIR(st.st_mode)) return Target::Foreign;
    std::error_code ec;
    if (!fs::exists(target / kWebPlayerMarkerName, ec)) return Target::Foreign;
    return ReadMarker(target) == version ? Target::Current : Target::OlderCopy;
}

bool UseForeign(const fs::path& target, std::string& error) {
    std::error_code ec;
    if (fs::is_regular_file(target / "ruffle.js", ec)) return true;  // the user's own web player
    error = "\"" + std::string(kWebPlayerFolderName) + "\" in the output folder is not a web player folder";
    return false;
}

// Removes the temporary folders of copies whose process is gone (no one holds their lock).
void RemoveStaleCopies(const fs::path& folder) {
    std::vector<fs::path> stale;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().rfind(kTempPrefix, 0) != 0) continue;
        CUniqueFd fd(::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.IsOpen() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) stale.push_back(it->path());
    }
    for (const auto& p : stale) fs::remove_all(p, ec);
}

bool SyncPath(const fs::path& p) {
    CUniqueFd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.IsOpen() && ::fsync(fd.Get()) == 0;
}

// Copies one file and flushes it to disk; error is the system's reason (a full disk says so).
bool CopyFileSynced(const fs::path& from, const fs::path& to, std::string& error) {
    std::string why;
    CUniqueFd in = OpenRegularFile(from, &why);
    if (!in.IsOpen()) {
        error = "cannot read " + from.string() + ": " + why;
        return false;
    }
    CUniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    std::vector<char> buffer(1u << 20);
    bool ok = in.IsOpen() && out.IsOpen();
    while (ok) {
        const ssize_t got = ::read(in.Get(), buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        ok = got > 0 && WriteAll(out.Get(), buffer.data(), static_cast<std::size_t>(got));
    }
    ok = ok && ::fsync(out.Get()) == 0 && out.Close();
    if (!ok) error = ErrnoText(errno);
    return ok;
}

// A copy in a hidden folder beside the target, locked while this process works on it and
// removed on destruction unless it was moved into place.
class CTempCopy {
public:
    ~CTempCopy() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }

    bool Make(const fs::path& outputFolder, const fs::path& source, const std::string& version, std::string& error) {
        std::string name = (outputFolder / kTempPrefix).string() + "XXXXXX";
        if (!::mkdtemp(name.data())) {
            error = ErrnoText(errno);
            return false;
        }
        path_ = name;
        lock_.Reset(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!lock_.IsOpen() || ::flock(lock_.Get(), LOCK_EX) != 0 || ::chmod(name.c_str(), 0755) != 0) {
            error = ErrnoText(errno);
            return false;
        }
        std::vector<SourceFile> files;
        if (!ListFiles(source, files)) {
            error = "cannot read " + source.string();
            return false;
        }
        for (const SourceFile& f : files) {
            if (!CopyFileSynced(source / f.name, path_ / f.name, error)) return false;
        }
        // The marker last: only a folder that has it is complete.
        if (!WriteFileAtomically(path_ / kWebPlayerMarkerName, version + "\n") || ::fsync(lock_.Get()) != 0) {
            error = "cannot write into " + outputFolder.string();
            return false;
        }
        return true;
    }

    const fs::path& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    fs::path path_;
    CUniqueFd lock_;
};

// Swaps the complete copy with an older one at target; the older one ends up at the copy's
// temporary name and goes with it.
bool Replace(CTempCopy& copy, const fs::path& target, std::string& error) {
    if (::renameat2(AT_FDCWD, copy.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) {
        error = ErrnoText(errno);
        return false;
    }
    // Without an atomic exchange: the old copy moves aside under a name that a later run clears.
    const fs::path aside = copy.Path().string() + "-old";
    if (::rename(target.c_str(), aside.c_str()) != 0 || ::rename(copy.Path().c_str(), target.c_str()) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    copy.Release();
    std::error_code ec;
    fs::remove_all(aside, ec);
    return true;
}

// Position of the first occurrence of word (lower case) in text in any case; npos when none.
std::size_t FindNoCase(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < word.size()) {
            const char c = text[i + k];
            if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != word[k]) break;
            ++k;
        }
        if (k == word.size()) return i;
    }
    return std::string_view::npos;
}

}  // namespace

std::string DefaultWebPlayerIntegrity() {
#ifdef TONVELA_RUFFLE_JS_SHA384
    // Subresource integrity wants the digest in base64; the build gives it in hex.
    static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string_view hex = TONVELA_RUFFLE_JS_SHA384;
    auto nibble = [](char c) -> unsigned { return c <= '9' ? unsigned(c - '0') : unsigned((c | 0x20) - 'a' + 10); };
    std::vector<unsigned> digest;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) digest.push_back(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
    std::string out = "sha384-";
    for (std::size_t i = 0; i < digest.size(); i += 3) {
        const unsigned v = digest[i] << 16 | (i + 1 < digest.size() ? digest[i + 1] << 8 : 0u) |
                           (i + 2 < digest.size() ? digest[i + 2] : 0u);
        out += kBase64[v >> 18 & 63];
        out += kBase64[v >> 12 & 63];
        out += i + 1 < digest.size() ? kBase64[v >> 6 & 63] : '=';
        out += i + 2 < digest.size() ? kBase64[v & 63] : '=';
    }
    return out;
#else
    return {};
#endif
}

std::string WebPlayerScriptTag(const CConvertOptions& settings) {
    std::string src;
    if (settings.HtmlWebPlayer == kWebPlayerFromUrl)
        src = settings.HtmlWebPlayerUrl.empty() ? kDefaultWebPlayerUrl : settings.HtmlWebPlayerUrl;
    else if (settings.HtmlWebPlayer == kWebPlayerBesidePage)
        src = kWebPlayerScriptPath;
    if (src.empty()) return src;
    std::string tag = "<SCRIPT src=\"" + HtmlEscape(src) + "\"";
    // The pinned address is the one we know the content of; a browser then runs only that.
    if (const std::string integrity = DefaultWebPlayerIntegrity(); src == kDefaultWebPlayerUrl && !integrity.empty())
        tag += " integrity=\"" + integrity + "\" crossorigin=\"anonymous\"";
    return tag + "></SCRIPT>";
}

std::size_t WebPlayerScriptPlace(std::string_view pageTemplate) {
    const std::size_t headEnd = FindNoCase(pageTemplate, "</head");
    if (headEnd != std::string_view::npos) return headEnd;
    const std::size_t movie = std::min(FindNoCase(pageTemplate, "<object"), FindNoCase(pageTemplate, "<embed"));
    return movie == std::string_view::npos ? 0 : movie;
}

std::string WebPlayerVersion(const std::string& folder) {
    std::vector<SourceFile> files;
    if (!ListFiles(folder, files)) return "";
    if (std::none_of(files.begin(), files.end(), [](const SourceFile& f) { return f.name == "ruffle.js"; })) return "";
    std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
    auto mix = [&hash](const std::string& s) {
        for (char c : s) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        hash *= 0x100000001b3ull;  // a zero byte between fields
    };
    for (const SourceFile& f : files) {
        mix(f.name);
        mix(std::to_string(f.size));
    }
    const std::string package = PackageVersion(fs::path(folder) / "package.json");
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return (package.empty() ? std::string("unknown") : package) + " " + hex;
}

std::string WebPlayerMissingText(const std::string& folder) {
    if (!WebPlayerVersion(folder).empty()) return "";
    return "the Ruffle web player is not installed (no ruffle.js in " + folder +
           "); install the tonvela-webplayer package, or load the player from a web address (HtmlWebPlayer=1)";
}

bool CopyWebPlayerFiles(const std::string& source, const std::string& outputFolder, std::string& error) {
    const std::string version = WebPlayerVersion(source);
    if (version.empty()) {
        error = WebPlayerMissingText(source);
        return false;
    }
    const fs::path folder(outputFolder);
    const fs::path target = folder / kWebPlayerFolderName;
    RemoveStaleCopies(folder);
    Target state = Inspect(target, version);
    if (state == Target::Current) return true;
    if (state == Target::Foreign) return UseForeign(target, error);

    CTempCopy copy;
    if (!copy.Make(folder, source, version, error)) return false;
    if (state == Target::Missing) {
        if (::renameat2(AT_FDCWD, copy.Path().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0 ||
            (errno == EINVAL && ::rename(copy.Path().c_str(), target.c_str()) == 0)) {
            copy.Release();
            SyncPath(folder);
            return true;
        }
        if (errno != EEXIST && errno != ENOTEMPTY) {
            error = ErrnoText(errno);
            return false;
        }
        // Another run put one there meanwhile.
        state = Inspect(target, version);
        if (state == Target::Current) return true;
        if (state == Target::Foreign) return UseForeign(target, error);
    }
    if (!Replace(copy, target, error)) return false;
    SyncPath(folder);
    return true;
}

std::unique_ptr<CWebPlayerCopies> CWebPlayerCopies::ForBatch(const CConvertOptions& settings) {
    if (!settings.CreateHtmlFile || settings.HtmlWebPlayer != kWebPlayerBesidePage) return nullptr;
    return std::make_unique<CWebPlayerCopies>(settings.dataFolder + kWebPlayerFolderName);
}

bool CWebPlayerCopies::EnsureForPage(CWebPlayerCopies* copies, const std::string& htmlPath, std::string& error) {
    if (!copies || htmlPath.empty()) return true;
    return copies->Ensure(fs::path(htmlPath).parent_path().string(), error);
}

bool CWebPlayerCopies::Ensure(const std::string& outputFolder, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (done_.count(outputFolder)) return true;
    if (!CopyWebPlayerFiles(source_, outputFolder, error)) return false;
    done_.insert(outputFolder);
    return true;
}

}  // namespace tonvela
