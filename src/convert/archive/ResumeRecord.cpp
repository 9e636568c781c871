#include "convert/archive/ResumeRecord.h"

#include <sys/stat.h>

#include "convert/ConvertOptions.h"
#include "convert/OutputNames.h"
#include "platform/PathName.h"

namespace tonvela {

namespace {

constexpr std::string_view kPlayerExt = ".player.swf";
constexpr std::string_view kSwfExt = ".swf";

bool EndsWith(const std::string& s, std::string_view end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The base of the recorded outputs: the sound SWF's path without ".swf".
std::string BaseOf(const ReportEntry& e) {
    for (const EntryOutputFile& o : e.outputs)
        if (EndsWith(o.path, kSwfExt) && !EndsWith(o.path, kPlayerExt)) return o.path.substr(0, o.path.size() - 4);
    return {};
}

bool StillThere(const EntryOutputFile& o) {
    struct stat st {};
    return ::stat(o.path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
           static_cast<std::uint64_t>(st.st_size) == o.size;
}

}  // namespace

void CResumeRecord::Add(const ParsedReport& report, bool fromJournal) {
    reports_.push_back(report);
    // The index points into reports_, which this push may have moved: it is built anew.
    files_.clear();
    for (std::size_t r = 0; r < reports_.size(); ++r) {
        const bool here = fromJournal && r + 1 == reports_.size();
        for (const ReportEntry& e : reports_[r].entries) {
            Known& k = files_[e.path];
            if (e.named) {
                k.named = &e;
                continue;
            }
            k.finished = &e;
            k.finishedHere = here;
            if (!e.outputs.empty() && e.outcome != EntryOutcome::AlreadyDone) k.named = &e;
        }
    }
}

CResumeRecord::Plan CResumeRecord::PlanFor(const JournalSource& source, const std::string& fingerprint,
                                           const CConvertOptions& settings) const {
    Plan plan;
    const auto it = files_.find(source.path);
    if (it == files_.end()) return plan;
    const Known& k = it->second;
    if (const ReportEntry* e = k.finished; e && e->Ok() && e->stamped && source.stamped && e->size == source.size &&
                                           e->mtimeNs == source.mtimeNs && e->settings == fingerprint &&
                                           !e->outputs.empty()) {
        bool all = true;
        for (const EntryOutputFile& o : e->outputs) all = all && StillThere(o);
        if (all) {
            plan.state = State::Done;
            plan.recordedHere = k.finishedHere;
            EntryResult& r = plan.done;
            r.outcome = EntryOutcome::AlreadyDone;
            for (const EntryOutputFile& o : e->outputs) {
                if (EndsWith(o.path, kPlayerExt)) r.playerSwfPath = o.path;
                else if (EndsWith(o.path, kSwfExt)) r.swfPath = o.path;
                else r.htmlPath = o.path;
            }
            r.outputs = e->outputs;
            CFileListEntry& p = plan.probe;
            p.path = source.path;
            p.channels = e->channels;
            p.sampleRate = e->sampleRate;
            p.bitRate = e->bitRate;
            p.kind = static_cast<AudioKind>(e->kind);
            p.durationSeconds = e->seconds > 0 && e->seconds < 2e9 ? static_cast<int>(e->seconds) : 0;
            p.swfPath = r.swfPath;
            p.htmlPath = r.htmlPath;
            p.playerSwfPath = r.playerSwfPath;
            return plan;
        }
    }
    plan.state = State::Redo;
    // The recorded names are reused when the same settings chose them, or when they lie where
    // the settings put this source's outputs now.
    if (const ReportEntry* e = k.named) {
        const std::string base = BaseOf(*e);
        const PlannedOutputs planned = PlannedOutputPaths(source.path, settings);
        if (!base.empty() && (e->settings == fingerprint ||
                              (!planned.swfPath.empty() && FolderOf(planned.swfPath) == FolderOf(base))))
            plan.recordedBase = base;
    }
    // No outputs of its own on record (it failed, was skipped or went elsewhere): as if unrecorded.
    if (plan.recordedBase.empty()) plan.state = State::NoRecord;
    return plan;
}

std::vector<std::string> CResumeRecord::RecordedOutputs() const {
    std::vector<std::string> out;
    for (const ParsedReport& r : reports_)
        for (const ReportEntry& e : r.entries)
            for (const EntryOutputFile& o : e.outputs) out.push_back(o.path);
    return out;
}

}  // namespace tonvela
