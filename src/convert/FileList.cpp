#include "convert/FileList.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "audio/AudioSource.h"
#include "convert/FileListColumns.h"
#include "convert/ProbeFailure.h"
#include "platform/TerminalText.h"
#include "platform/DataFolder.h"
#include "platform/PercentEncode.h"
#include "platform/PathName.h"

namespace tonvela {

void CAddFailures::Add(const std::string& path, std::string reason) {
    ++count_;
    if (count_ > kMaxListedFailures) return;  // counted, not listed: nor looked at again
    listed_.push_back({path, reason.empty() ? ProbeFailureReason(path) : std::move(reason)});
}

std::string CAddFailures::Text() const {
    std::string text;
    for (const Failure& f : listed_) text += TerminalText(f.path) + ": " + f.reason + "\n";
    if (More()) text += "<more files>...\n";
    return text;
}

std::string CAddFailures::HelpPageUrl() {
    // RFC 8089: the path with its separators kept, every byte outside the unreserved set escaped.
    return "file://" + PercentEncode(DataFolder() + kFormatsHelpPage, "/-._~");
}

std::string CAddFailures::Message() const {
    if (count_ == 0) return {};
    return std::string(kAddFailureTitle) + "\n\n" + Text() +
           "\nTo get help, please see the manual's page on supported formats:\n" + HelpPageUrl();
}

CFileList::FileIdentity CFileList::IdentityOf(const std::string& path) {
    FileIdentity id;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        id.statOk = true;
        id.device = static_cast<std::uint64_t>(st.st_dev);
        id.inode = static_cast<std::uint64_t>(st.st_ino);
    }
    std::error_code ec;
    std::filesystem::path c = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    id.canonical = ec ? std::filesystem::path(path).lexically_normal().string() : c.string();
    return id;
}

bool CFileList::SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.statOk && b.statOk) return a.device == b.device && a.inode == b.inode;
    return a.canonical == b.canonical;
}

namespace {

void LookHere(const std::function<void()>& look) { look(); }

}  // namespace

bool CFileList::Lists(const FileIdentity& id) const {
    for (const auto& row : entries_)
        if (SameFile(row.identity, id)) return true;
    return false;
}

bool CFileList::Contains(const std::string& path) const { return Lists(IdentityOf(path)); }

std::unique_ptr<CFileListEntry> CFileList::ProbeEntry(const std::string& path) {
    const AudioKind kind = AudioKindFromPath(path);
    std::unique_ptr<CAudioSource> source = OpenAudioSource(path, kind, 0);
    if (!source) return nullptr;
    auto entry = std::make_unique<CFileListEntry>();
    entry->path = path;
    entry->durationSeconds = source->GetDuration();
    entry->lengthDeclared = source->GetDeclaredFrames() > 0;
    entry->sampleRate = source->GetSampleRate();
    entry->bitRate = source->GetBitRate();
    entry->channels = source->GetChannels();
    entry->kind = kind;
    return entry;
}

int CFileList::AddLooked(const std::string& path, const LookRunner& run, std::string* reason) {
    FileIdentity id;
    run([&id, &path] { id = IdentityOf(path); });
    if (Lists(id)) return 0;
    std::unique_ptr<CFileListEntry> entry;
    run([&entry, &path, reason] {
        entry = ProbeEntry(path);
        if (!entry && reason) *reason = ProbeFailureReason(path);
    });
    if (!entry) return -1;
    entries_.push_back(Row{std::move(entry), std::move(id)});
    return static_cast<int>(entries_.size() - 1);
}

int CFileList::AddFileEntry(const std::string& path) {
    return AddLooked(path, LookHere, nullptr);
}

CFileList::CTaken CFileList::Take(std::size_t i) {
    CTaken taken;
    taken.row_ = std::move(entries_.at(i));
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    return taken;
}

bool CFileList::PutBack(CTaken& taken) {
    if (!taken.row_.entry || Lists(taken.row_.identity)) return false;
    entries_.push_back(std::move(taken.row_));
    return true;
}

void CFileList::Remove(std::size_t i) {
    if (i < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
}

CAddFailures CFileList::AddPathList(const std::vector<std::string>& paths, CAddProgress* progress) {
    CAddFailures failures;
    const int n = static_cast<int>(paths.size());
    // Each look at the disk runs aside when there is a progress window; the list itself
    // changes only here.
    const LookRunner run = progress ? LookRunner([progress](const std::function<void()>& look) { progress->RunAside(look); })
                                    : LookRunner(LookHere);
    if (progress) {
        progress->SetRange(n);
        progress->ProcessEvents();
    }
    for (int i = 0; i < n; ++i) {
        const std::string& path = paths[static_cast<std::size_t>(i)];
        if (progress) {
            progress->SetText("[" + std::to_string(i + 1) + "/" + std::to_string(n) + "] Adding file " +
                              NameOf(path) + "...");
            progress->Step();
        }
        std::string reason;
        // A look that Cancel cut short says nothing of the file.
        if (AddLooked(path, run, failures.ListsNext() ? &reason : nullptr) == -1 && !(progress && progress->IsCancelled()))
            failures.Add(path, std::move(reason));
        if (progress) {
            progress->ProcessEvents();
            if (progress->IsCancelled()) break;
        }
    }
    return failures;
}

}  // namespace tonvela
