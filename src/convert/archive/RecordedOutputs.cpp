#include "convert/archive/RecordedOutputs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "convert/FileListEntry.h"
#include "convert/OutputNames.h"
#include "platform/NameClaim.h"
#include "platform/OwnerLock.h"
#include "platform/PathName.h"
#include "platform/PendingOutput.h"
#include "platform/UniqueFd.h"

namespace tonvela {

RecordedNaming NameAsRecorded(CFileListEntry& entry, const CConvertOptions& settings, const std::string& base,
                              COutputReservations* reservations, std::string& error) {
    entry.ForgetOutputs();
    error.clear();
    const PlannedOutputs names = OutputsAt(base, settings);
    std::unique_lock<std::mutex> lock;
    if (reservations) {
        lock = reservations->Lock();
        if (reservations->IsReserved(names.swfPath) || reservations->WasWritten(names.swfPath))
            return RecordedNaming::Unavailable;
    }
    if (!EnsureFolder(FolderOf(names.swfPath))) {
        error = "Failed to create folder \"" + FolderOf(names.swfPath) + "\"";
        return RecordedNaming::Failed;
    }
    for (const std::string* p : {&names.swfPath, &names.htmlPath, &names.playerSwfPath}) {
        if (p->empty()) continue;
        struct stat st {};
        if (::lstat(p->c_str(), &st) != 0) continue;
        if (!S_ISREG(st.st_mode) || !NameFits(*p)) {
            error = "Failed to create file \"" + *p + "\"";
            return RecordedNaming::Failed;
        }
        if (st.st_size == 0 && !RemoveAbandonedClaim(*p)) {
            // Empty and not a dead run's claim: a live run's claim (held), or what became of our
            // own output (cut to nothing), which is replaced.
            const CUniqueFd fd(::open(p->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            if (fd.IsOpen() && TakeAbandoned(fd.Get()) == OwnerState::Held) return RecordedNaming::InProgressElsewhere;
        }
    }
    if (!CanCreateFileAt(names.swfPath)) {
        error = "Failed to create file \"" + names.swfPath + "\"";
        return RecordedNaming::Failed;
    }
    entry.swfPath = names.swfPath;
    entry.htmlPath = names.htmlPath;
    entry.playerSwfPath = names.playerSwfPath;
    if (reservations) reservations->Reserve(entry.swfPath);
    return RecordedNaming::Done;
}

}  // namespace tonvela
