#include "convert/OutputNames.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "platform/DocumentsFolder.h"
#include "platform/NameClaim.h"
#include "platform/PathName.h"
#include "platform/PendingOutput.h"

namespace tonvela {

namespace {

// Enough for any folder a person keeps; beyond it something is wrong with the folder.
constexpr int kMaxRenameNumber = 1000000;

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

// Every file the entry writes for base: a clash of any one of them is a clash.
std::vector<std::string> OutputsOf(const std::string& base, const CConvertOptions& settings) {
    std::vector<std::string> names{base + ".swf"};
    if (settings.CreateHtmlFile) names.push_back(base + ".htm");
    if (settings.CreateCtrlSWF && settings.ButtonSWFType == kButtonShellPlayer) names.push_back(base + ".player.swf");
    return names;
}

// "Failed to create file" for a name too long, with the cause.
std::string NameTooLong(const std::string& path) {
    return Message(kFileCreateError, path) + ": the name is " + std::to_string(NameOf(path).size()) +
           " bytes long, more than the " + std::to_string(NameMax(path)) + " bytes a file name may have there";
}

// base numbered k ("base_k"): when an output name would be too long, the stem is shortened (at a
// character's start, never into the number or the extension) until every name fits.
std::string NumberedBase(const std::string& base, int k, const CConvertOptions& settings) {
    const std::string suffix = "_" + std::to_string(k);
    std::size_t longest = 0;
    for (const std::string& n : OutputsOf(base + suffix, settings)) longest = std::max(longest, NameOf(n).size());
    const std::size_t max = NameMax(base);
    const std::size_t stem = NameOf(base).size();
    if (longest <= max || longest - max >= stem) return base + suffix;
    std::size_t keep = base.size() - (longest - max);
    while (keep > base.size() - stem && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
    return base.substr(0, keep) + suffix;
}

void SetOutputs(CFileListEntry& entry, const std::vector<std::string>& names, const CConvertOptions& settings) {
    entry.swfPath = names[0];
    std::size_t i = 1;
    if (settings.CreateHtmlFile) entry.htmlPath = names[i++];
    if (i < names.size()) entry.playerSwfPath = names[i];
}

// The names for base (or base_1, base_2, ... with "auto-rename") in a folder known to exist.
// With "Skip" and "auto-rename" the names are claimed on disk, so another copy of the program
// or another job cannot pick them too; with "Overwrite" the old files stay until replaced.
enum class Naming { Done, Failed, FailedEverywhere };

template <typename Taken>
Naming NameOutputs(CFileListEntry& entry, const CConvertOptions& settings, const std::string& base, Taken&& taken,
                   CNameClaims& claims, COutputReservations* reservations, std::unique_lock<std::mutex>& lock,
                   std::string& error) {
    // Every name is looked at, so the abandoned claims among them are all cleared away.
    auto anyTaken = [&](const std::vector<std::string>& names) {
        bool any = false;
        for (const auto& n : names) any = taken(n) || any;
        return any;
    };
    auto unfit = [&](const std::vector<std::string>& names) -> const std::string* {
        for (const auto& n : names)
            if (!NameFits(n)) return &n;
        return nullptr;
    };
    if (settings.TargetExistsOpt == kTargetOverwrite) {
        // A name that an earlier entry of this batch wrote is no old file to replace: numbered
        // on as auto-rename does, but older files under the numbered names are replaced as well,
        // so that running the batch again gives the same names.
        std::string base2 = base;
        for (int k = 1; reservations; ++k) {
            // Another entry writing this very name is let finish first.
            reservations->WaitUntilFree(lock, base2 + ".swf");
            if (!reservations->WasWritten(base2 + ".swf")) break;
            if (k > kMaxRenameNumber) {
                error = Message(kFileCreateError, base + ".swf");
                return Naming::Failed;
            }
            base2 = NumberedBase(base, k, settings);
        }
        const std::vector<std::string> names = OutputsOf(base2, settings);
        if (base2 != base) entry.clashedWithRun = base + ".swf";
        if (Exists(names[0]) && SameFile(names[0], entry.path)) {
            error = kTargetIsSource;
            return Naming::FailedEverywhere;
        }
        if (const std::string* n = unfit(names)) {
            error = NameTooLong(*n);
            return Naming::FailedEverywhere;  // as long in any other folder
        }
        // Prove that the files can be created there without opening the targets, so older
        // files survive until the new ones are complete; a folder in a name's place cannot be
        // replaced.
        for (const auto& n : names) {
            struct stat st {};
            if (::stat(n.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                error = Message(kFileCreateError, n);
                return Naming::Failed;
            }
        }
        if (!CanCreateFileAt(names[0])) {
            error = Message(kFileCreateError, names[0]);
            return Naming::Failed;
        }
        SetOutputs(entry, names, settings);
        return Naming::Done;
    }
    for (int k = 0; k <= kMaxRenameNumber; ++k) {
        const std::vector<std::string> names = OutputsOf(k == 0 ? base : NumberedBase(base, k, settings), settings);
        if (const std::string* n = unfit(names)) {
            error = NameTooLong(*n);
            return Naming::FailedEverywhere;
        }
        if (!anyTaken(names)) {
            std::string failed;
            const ClaimResult r = claims.Claim(names, failed);
            if (r == ClaimResult::Claimed) {
                SetOutputs(entry, names, settings);
                return Naming::Done;
            }
            if (r == ClaimResult::Failed) {
                error = Message(kFileCreateError, failed);
                return Naming::Failed;
            }
            // Taken: another program got there first; it counts like an existing file.
        }
        if (settings.TargetExistsOpt == kTargetSkip) {
            error = kTargetSkipped;
            return Naming::FailedEverywhere;
        }
    }
    error = Message(kFileCreateError, base + ".swf");
    return Naming::Failed;
}

}  // namespace

void CSweptFolders::SweepOnce(const std::string& folder) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!done_.insert(folder).second) return;
    }
    RemoveStaleParts(folder);
}

void ReleaseOutputClaims(const CFileListEntry& entry, const CConvertOptions& settings) {
    if (settings.TargetExistsOpt == kTargetOverwrite) return;
    for (const std::string* p : {&entry.swfPath, &entry.htmlPath, &entry.playerSwfPath})
        if (!p->empty()) ReleaseClaim(*p);
}

PlannedOutputs PlannedOutputPaths(const std::string& source, const CConvertOptions& settings) {
    std::string base;
    if (settings.SWFOutputFolderOpt == kOutputFolderPerSwf) {
        base = WithoutExt(source) + "/" + WithoutExt(NameOf(source));
    } else if (settings.SWFOutputFolderOpt == kOutputCustomFolder) {
        if (settings.SWFSpecifiedFolder.empty()) return {};
        base = settings.SWFSpecifiedFolder;
        if (base.back() != '/') base += '/';
        if (settings.CreateDirs) base += SourceFolderBelowRoot(source);
        base += WithoutExt(NameOf(source));
    } else {
        base = WithoutExt(source);
    }
    return OutputsAt(base, settings);
}

PlannedOutputs OutputsAt(const std::string& base, const CConvertOptions& settings) {
    CFileListEntry entry;
    SetOutputs(entry, OutputsOf(base, settings), settings);
    return {entry.swfPath, entry.htmlPath, entry.playerSwfPath};
}

bool EnsureFolder(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return true;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

bool MakeOutputNames(CFileListEntry& entry, const CConvertOptions& settings, std::string& error,
                     const OutputNameContext& context) {
    entry.ForgetOutputs();
    error.clear();
    const std::string& source = entry.path;
    COutputReservations* reservations = context.reservations;
    std::unique_lock<std::mutex> lock;
    if (reservations) lock = reservations->Lock();
    // A claim that a killed run left behind is no clash: it is removed and the name is free.
    auto taken = [&](const std::string& p) {
        if (reservations && reservations->IsReserved(p)) return true;
        return Exists(p) && !RemoveAbandonedClaim(p);
    };
    CNameClaims ownClaims;
    CNameClaims& claims = context.claims ? *context.claims : ownClaims;
    auto sweep = [&](const std::string& base) {
        const std::size_t slash = base.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : base.substr(0, slash + 1);
        if (context.swept) context.swept->SweepOnce(folder);
        else RemoveStaleParts(folder);
    };

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
            sweep(base);
            const Naming naming = NameOutputs(entry, settings, base, taken, claims, reservations, lock, error);
            if (naming == Naming::Done) {
                if (!context.claims) ownClaims.Detach();
                entry.outputInDocuments = tried;
                if (reservations) reservations->Reserve(entry.swfPath);
                return true;
            }
            if (naming == Naming::FailedEverywhere) return false;
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
