#include "convert/archive/RunJournal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "convert/ConvertOptions.h"
#include "convert/FileListColumns.h"
#include "convert/FileListEntry.h"
#include "convert/JsonText.h"
#include "convert/OutputNames.h"
#include "convert/SettingsCatalog.h"
#include "platform/PathName.h"

namespace tonvela {

namespace {

// Settings that change neither an output's bytes nor its place.
bool CountsForFingerprint(std::string_view name) {
    return name != "TargetExistsOpt" && name != "BrowseOutFolder" && name != "ConvertJobs";
}

std::string OutputsJson(const EntryResult& r, bool withSizes) {
    std::string out = "[";
    for (const EntryOutputFile& o : r.outputs) {
        if (out.size() > 1) out += ',';
        out += "{\"path\":" + JsonQuote(o.path);
        if (withSizes) out += ",\"size\":" + std::to_string(o.size);
        out += "}";
    }
    return out + "]";
}

std::string SourceJson(const JournalSource& s, const std::string& fingerprint) {
    std::string j = "\"path\":" + JsonQuote(s.path) + ",\"rel\":" + JsonQuote(s.rel);
    if (s.stamped) {
        j += ",\"size\":" + std::to_string(s.size) + ",\"mtimeNs\":" + std::to_string(s.mtimeNs);
    } else {
        j += ",\"size\":null,\"mtimeNs\":null";
    }
    return j + ",\"settings\":" + JsonQuote(fingerprint);
}

bool IsStdoutName(const std::string& path) {
    return path == "/dev/stdout" || path == "/dev/fd/1" || path == "/proc/self/fd/1";
}

}  // namespace

std::string SettingsFingerprint(const CConvertOptions& options) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](std::string_view text) {
        for (const char c : text) {
            h ^= static_cast<unsigned char>(c);
            h *= 0x100000001b3ull;
        }
        h ^= 0xff;  // ends every field, so "a","bc" and "ab","c" differ
        h *= 0x100000001b3ull;
    };
    for (const SettingInfo& s : kSettingsCatalog) {
        if (!CountsForFingerprint(s.name)) continue;
        mix(s.name);
        mix(SettingValueText(options, s));
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

std::string ReportHeaderLine(const ShardChoice& shard, const CConvertOptions& options, const std::string& version) {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::string settings = "{";
    for (const SettingInfo& s : kSettingsCatalog) {
        if (settings.size() > 1) settings += ',';
        settings += JsonQuote(s.name) + ":" + JsonQuote(SettingValueText(options, s));
    }
    settings += "}";
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return std::string("{\"") + kReportHeaderKey + "\":" + std::to_string(kReportVersion) +
           ",\"version\":" + JsonQuote(version) +
           ",\"shard\":" + JsonQuote(std::to_string(shard.index) + "/" + std::to_string(shard.count)) +
           ",\"host\":" + JsonQuote(host) + ",\"startedNs\":" + std::to_string(now) +
           ",\"fingerprint\":" + JsonQuote(SettingsFingerprint(options)) + ",\"settings\":" + settings + "}";
}

std::string ReportClosingLine(bool interrupted, std::size_t converted, std::size_t alreadyDone, std::size_t failed) {
    return std::string("{\"") + kReportEndKey + "\":true,\"interrupted\":" + (interrupted ? "true" : "false") +
           ",\"converted\":" + std::to_string(converted) + ",\"alreadyDone\":" + std::to_string(alreadyDone) +
           ",\"failed\":" + std::to_string(failed) + "}";
}

JournalSource StampSource(const std::string& path, const std::string& rel) {
    JournalSource s{path, rel};
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        s.stamped = true;
        s.size = static_cast<std::uint64_t>(st.st_size);
        s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return s;
}

std::string JournalEntryLine(const JournalSource& source, const std::string& fingerprint, const EntryResult& r,
                             const CFileListEntry* probe) {
    std::uint64_t swfBytes = 0;
    for (const EntryOutputFile& o : r.outputs)
        if (o.path == r.swfPath || o.path == r.playerSwfPath) swfBytes += o.size;
    std::string j = "{" + SourceJson(source, fingerprint);
    j += ",\"ok\":" + std::string(r.Ok() ? "true" : "false");
    j += ",\"outcome\":" + JsonQuote(OutcomeName(r.outcome));
    j += ",\"status\":" + JsonQuote(StatusText(r));
    j += ",\"reason\":" + JsonQuote(StatusDetail(r));
    j += ",\"reasonCode\":" + JsonQuote(r.reasonCode);
    j += ",\"swf\":" + JsonQuote(r.swfPath) + ",\"html\":" + JsonQuote(r.htmlPath) +
         ",\"player\":" + JsonQuote(r.playerSwfPath);
    j += ",\"outputs\":" + OutputsJson(r, true);
    j += ",\"alreadyDone\":" + std::string(r.outcome == EntryOutcome::AlreadyDone ? "true" : "false");
    j += ",\"swfBytes\":" + std::to_string(r.Ok() ? swfBytes : 0);
    j += ",\"secondsRead\":" + std::to_string(r.secondsRead);
    j += ",\"renamedFrom\":" + JsonQuote(r.renamedFrom);
    if (probe) {
        j += ",\"channels\":" + std::to_string(probe->channels) + ",\"sampleRate\":" + std::to_string(probe->sampleRate) +
             ",\"durationSeconds\":" + std::to_string(probe->durationSeconds) +
             ",\"bitRate\":" + std::to_string(probe->bitRate) + ",\"kind\":" + std::to_string(static_cast<int>(probe->kind)) +
             ",\"length\":" + JsonQuote(ColumnText(*probe, kColumnLength));
    } else {
        j += ",\"channels\":null,\"sampleRate\":null,\"durationSeconds\":null,\"bitRate\":null,\"kind\":null,\"length\":null";
    }
    return j + "}";
}

std::string JournalNamedLine(const JournalSource& source, const std::string& fingerprint, const EntryResult& named) {
    return "{\"named\":true," + SourceJson(source, fingerprint) + ",\"outputs\":" + OutputsJson(named, false) + "}";
}

bool CRunJournal::Open(const std::string& path, bool continueExisting, const JournalForbidden& forbidden,
                       std::string& error) {
    if (path.empty()) {
        error = "needs a file name";
        return false;
    }
    if (IsStdoutName(path)) {
        fd_.Reset(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3));
        if (fd_.Get() < 0) {
            error = "standard output is not open";
            return false;
        }
        stream_ = true;
        return true;
    }
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;  // through symlinks, as a shell's > goes
    if (exists && S_ISDIR(st.st_mode)) {
        error = "is a folder";
        return false;
    }
    if (exists && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        error = "is a special file; a journal goes to a regular file, a FIFO or a pipe";
        return false;
    }
    auto isForbidden = [&](const struct stat& s) {
        return forbidden.files.count({s.st_dev, s.st_ino}) != 0;
    };
    std::error_code ec;
    const std::string normal = std::filesystem::absolute(path, ec).lexically_normal().string();
    const std::string canonical = std::filesystem::weakly_canonical(path, ec).string();
    if ((exists && S_ISREG(st.st_mode) && isForbidden(st)) || forbidden.paths.count(normal) ||
        forbidden.paths.count(canonical)) {
        error = "is an input or an output of this run";
        return false;
    }
    if (!exists) {
        const std::string folder = FolderOf(canonical.empty() ? normal : canonical);
        if (!folder.empty() && !EnsureFolder(folder)) {
            error = "cannot create the folder " + folder;
            return false;
        }
    }
    // No O_TRUNC: what is opened is looked at first, and emptied only when it may be.
    fd_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd_.Get() < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::fstat(fd_.Get(), &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) ||
        (S_ISREG(st.st_mode) && isForbidden(st))) {
        // Replaced between the look and the open: nothing was written or emptied.
        fd_.Reset();
        error = "changed while it was opened; not written";
        return false;
    }
    stream_ = S_ISFIFO(st.st_mode);
    if (!stream_) {
        continued_ = continueExisting && st.st_size > 0;
        if (!continueExisting && st.st_size > 0 && ::ftruncate(fd_.Get(), 0) != 0) {
            error = std::strerror(errno);
            fd_.Reset();
            return false;
        }
    }
    return true;
}

CRunJournal::~CRunJournal() {
    if (syncer_.joinable()) {
        syncer_.request_stop();
        syncer_.join();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (dirty_) SyncLocked(lock);
}

std::string CRunJournal::Error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

bool CRunJournal::SyncLocked(std::unique_lock<std::mutex>& lock) {
    dirty_ = false;
    const int fd = fd_.Get();
    // The disk is waited for without the lock, so lines go on being written meanwhile.
    lock.unlock();
    const int rc = ::fdatasync(fd);
    const int err = errno;
    lock.lock();
    if (rc != 0 && !failed_) {
        failed_ = true;
        error_ = std::strerror(err);
    }
    return rc == 0;
}

void CRunJournal::Syncer(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (wake_.wait(lock, stop, [this] { return dirty_; })) SyncLocked(lock);
}

bool CRunJournal::Append(const std::string& line, Flush flush) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!IsOpen() || failed_) return false;
    const std::string text = line + "\n";
    // A reader of the stream that went away is a write error, not the end of the run.
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    if (stream_) ::pthread_sigmask(SIG_BLOCK, &pipe, &old);
    std::size_t done = 0;
    int err = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_.Get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (stream_) {
        if (err == EPIPE) {
            const timespec zero{};
            ::sigtimedwait(&pipe, nullptr, &zero);  // the SIGPIPE this write raised
        }
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    if (err) {
        failed_ = true;
        error_ = std::strerror(err);
        return false;
    }
    if (stream_ || flush == Flush::None) return true;
    dirty_ = true;
    if (flush == Flush::Now) return SyncLocked(lock);
    if (!syncer_.joinable()) syncer_ = std::jthread([this](std::stop_token stop) { Syncer(stop); });
    wake_.notify_one();
    return true;
}

}  // namespace tonvela
