#include "convert/FileList.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "audio/AudioSource.h"
#include "convert/FileListColumns.h"
#include "platform/DataFolder.h"
#include "platform/PathName.h"

namespace tonvela {

void CAddFailures::Add(const std::string& path) {
    ++count_;
    if (count_ <= kMaxListedFailures)
        text_ += path + "\n";
    else if (count_ == kMaxListedFailures + 1)
        text_ += "<more files>...\n";
}

std::string CAddFailures::Message() const {
    if (text_.empty()) return {};
    return "Failed to load the following files.\n\n" + text_ +
           "\nTo get help, please see the manual's page on supported formats <" + DataFolder() + kFormatsHelpPage +
           ">.";
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

bool CFileList::Contains(const std::string& path) const {
    const FileIdentity id = IdentityOf(path);
    for (const auto& row : entries_)
        if (SameFile(row.identity, id)) return true;
    return false;
}

int CFileList::AddFileEntry(const std::string& path) {
    FileIdentity id = IdentityOf(path);
    for (const auto& row : entries_)
        if (SameFile(row.identity, id)) return 0;

    const AudioKind kind = AudioKindFromPath(path);
    std::unique_ptr<CAudioSource> source = OpenAudioSource(path, kind, 0);
    if (!source) return -1;
    auto entry = std::make_unique<CFileListEntry>();
    entry->path = path;
    entry->durationSeconds = source->GetDuration();
    entry->lengthDeclared = source->GetDeclaredFrames() > 0;
    entry->sampleRate = source->GetSampleRate();
    entry->bitRate = source->GetBitRate();
    entry->channels = source->GetChannels();
    entry->kind = kind;
    source.reset();

    entries_.push_back(Row{std::move(entry), std::move(id)});
    return static_cast<int>(entries_.size() - 1);
}

void CFileList::Remove(std::size_t i) {
    if (i < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::string CFileList::AddPathList(const std::vector<std::string>& paths, CAddProgress* progress) {
    CAddFailures failures;
    const int n = static_cast<int>(paths.size());
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
        if (AddFileEntry(path) == -1) failures.Add(path);
        if (progress) {
            progress->ProcessEvents();
            if (progress->IsCancelled()) break;
        }
    }
    return failures.Message();
}

}  // namespace tonvela
