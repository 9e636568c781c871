#include "convert/archive/ResumeCheck.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/NameClaim.h"
#include "platform/OwnerLock.h"
#include "platform/UniqueFd.h"

namespace tonvela {

namespace {

bool Newer(const struct stat& a, const struct stat& b) {
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
    return a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

}  // namespace

bool OutputsComplete(const std::string& source, const CConvertOptions& settings, PlannedOutputs& outputs) {
    outputs = PlannedOutputPaths(source, settings);
    struct stat src {};
    if (outputs.swfPath.empty() || ::stat(source.c_str(), &src) != 0) return false;
    for (const std::string* p : {&outputs.swfPath, &outputs.htmlPath, &outputs.playerSwfPath}) {
        if (p->empty()) continue;
        struct stat st {};
        if (::stat(p->c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 || !Newer(st, src))
            return false;
    }
    return true;
}

void ReleaseAbandonedClaims(const PlannedOutputs& outputs) {
    for (const std::string* p : {&outputs.swfPath, &outputs.htmlPath, &outputs.playerSwfPath})
        if (!p->empty()) RemoveAbandonedClaim(*p);
}

bool ClaimedByLiveRun(const PlannedOutputs& outputs) {
    for (const std::string* p : {&outputs.swfPath, &outputs.htmlPath, &outputs.playerSwfPath}) {
        struct stat st {};
        if (p->empty() || ::lstat(p->c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) continue;
        const CUniqueFd fd(::open(p->c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.IsOpen() && TakeAbandoned(fd.Get()) == OwnerState::Held) return true;
    }
    return false;
}

}  // namespace tonvela
