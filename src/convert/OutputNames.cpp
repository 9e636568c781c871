#include "convert/OutputNames.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "platform/DocumentsFolder.h"
#include "platform/PendingOutput.h"

namespace tonvela {

namespace {

// Enough for any folder a person keeps; beyond it something is wrong with the folder.
constexpr int kMaxRenameNumber = 1000000;

std::string NameOf(const std::string& p) {
    std::size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Without the extension of its file name (from the name's last "."); unchanged without one.
std::string WithoutExt(const std::string& p) {
    std::size_t slash = p.rfind('/');
    std::size_t dot = p.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return p;
    return p.substr(0, dot);
}

// A file, folder or link of that name (a dangling link too: a new file must not replace it
// unasked).
bool Exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec) && !ec) return true;
    auto norm = [](const std::string& p) {
        std::error_code e;
        return std::filesystem::absolute(p, e).lexically_normal();
    };
    return norm(a) == norm(b);
}

std::string Message(const char* format, const std::string& path) {
    std::string m = format;
    m.replace(m.find("%s"), 2, path);
    return m;
}

// The source's folder path below the root, with a trailing "/": "/music/pop/1.mp3" gives
// "music/pop/". Normalised first, so ".." can never lead out of the custom folder.
std::string SourceFolderBelowRoot(const std::string& source) {
    std::error_code ec;
    std::string p = std::filesystem::absolute(source, ec).lexically_normal().string();
    p.resize(p.size() - NameOf(p).size());
    std::size_t start = p.find_first_not_of('/');
    return start == std::string::npos ? std::string() : p.substr(start);
}

}  // namespace

bool EnsureFolder(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return true;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool MakeOutputNames(CFileListEntry& entry, const CConvertOptions& settings, std::string& error,
                     const OutputNameContext& context) {
    entry.swfPath.clear();
    entry.htmlPath.clear();
    entry.playerSwfPath.clear();
    error.clear();
    const std::string& source = entry.path;
    COutputReservations* reservations = context.reservations;
    std::unique_lock<std::mutex> lock;
    if (reservations) lock = reservations->Lock();
    auto taken = [&](const std::string& p) { return Exists(p) || (reservations && reservations->IsReserved(p)); };

    int mode = settings.SWFOutputFolderOpt;
    std::string folder = settings.SWFSpecifiedFolder;
    bool dirs = settings.CreateDirs != 0;
    bool tried = false;
    for (;;) {
        std::string base;
        bool failed = false;
        if (mode == kOutputFolderPerSwf) {
            const std::string d = WithoutExt(source);
            if (!EnsureFolder(d)) {
                error = Message(kFolderCreateError, d);
                failed = true;
            } else {
                base = d + "/" + WithoutExt(NameOf(source));
            }
        } else if (mode == kOutputCustomFolder) {
            if (folder.empty() || !EnsureFolder(folder)) {
                error = Message(kFolderCreateError, folder);
                failed = true;
            } else {
                base = folder;
                if (base.back() != '/') base += '/';
                if (dirs) {
                    base += SourceFolderBelowRoot(source);
                    if (!EnsureFolder(base)) {
                        error = Message(kFolderCreateError, base);
                        failed = true;
                    }
                }
                base += WithoutExt(NameOf(source));
            }
        } else {
            base = WithoutExt(source);
        }

        if (!failed) {
            std::string target = base + ".swf";
            if (taken(target)) {
                if (settings.TargetExistsOpt == kTargetOverwrite) {
                    if (Exists(target) && SameFile(target, source)) {
                        error = kTargetIsSource;
                        return false;
                    }
                    // Another entry of this batch is writing this very name: let it finish.
                    if (reservations) reservations->WaitUntilFree(lock, target);
                } else if (settings.TargetExistsOpt == kTargetSkip) {
                    error = kTargetSkipped;
                    return false;
                } else {
                    int k = 1;
                    while (k <= kMaxRenameNumber && taken(base + "_" + std::to_string(k) + ".swf")) ++k;
                    base += "_" + std::to_string(k);
                    target = base + ".swf";
                }
            }
            // Prove that the SWF can be created there without opening the target itself, so
            // an older SWF survives until the new one is complete.
            if (CanCreateFileAt(target)) {
                entry.swfPath = target;
                if (settings.CreateHtmlFile) entry.htmlPath = base + ".htm";
                if (settings.CreateCtrlSWF && settings.ButtonSWFType == kButtonShellPlayer)
                    entry.playerSwfPath = base + ".player.swf";
                if (reservations) reservations->Reserve(target);
                return true;
            }
            error = Message(kFileCreateError, target);
        }

        if (!settings.OutputFiles2MyDocuments || tried) return false;
        tried = true;
        const std::string docs = context.documentsFolder ? context.documentsFolder() : UserDocumentsFolder();
        if (docs.empty()) return false;
        folder = docs;
        dirs = settings.SWFOutputFolderOpt == kOutputCustomFolder && settings.CreateDirs != 0;
        mode = kOutputCustomFolder;
    }
}

}  // namespace tonvela
