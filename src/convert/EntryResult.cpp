#include "convert/EntryResult.h"

#include <sys/stat.h>

#include "convert/ConvertBatch.h"
#include "convert/ConvertResult.h"
#include "platform/PathName.h"

namespace tonvela {

namespace {

constexpr struct {
    EntryOutcome outcome;
    const char* name;
} kOutcomeNames[] = {{EntryOutcome::Converted, "converted"},   {EntryOutcome::ConvertedWithoutPage, "convertedWithoutPage"},
                     {EntryOutcome::AlreadyDone, "alreadyDone"}, {EntryOutcome::Skipped, "skipped"},
                     {EntryOutcome::Refused, "refused"},         {EntryOutcome::Failed, "failed"},
                     {EntryOutcome::Cancelled, "cancelled"}};

// Failures whose status is the general "Conversion Failure" with the reason beside it; the
// others say what happened in the status itself (the list has always shown them so).
bool StatusIsGeneral(const EntryResult& r) {
    return r.outcome == EntryOutcome::Failed && r.reasonCode == reason::kConversionFailed;
}

}  // namespace

std::string StatusText(const EntryResult& r) {
    switch (r.outcome) {
        case EntryOutcome::Converted: {
            std::string s = NameOf(r.swfPath);
            if (r.declaredSeconds != 0) s += SourceEndedEarlyNote(r.secondsRead, r.declaredSeconds);
            if (!r.renamedFrom.empty())
                s += " (renamed: " + NameOf(r.renamedFrom) + " was written by an earlier file of this batch)";
            return s;
        }
        case EntryOutcome::ConvertedWithoutPage:
            return "Failed to create file \"" + r.missingPage + "\"";
        case EntryOutcome::AlreadyDone:
            return kStatusAlreadyDone;
        case EntryOutcome::Cancelled:
            return kStatusCancelled;
        case EntryOutcome::Skipped:
        case EntryOutcome::Refused:
        case EntryOutcome::Failed:
            if (StatusIsGeneral(r)) return kStatusFailure;
            if (r.reasonCode == reason::kLoadFailed) return kStatusFailedToLoad;
            return r.reasonText.empty() ? std::string(kStatusFailure) : r.reasonText;
    }
    return kStatusFailure;
}

std::string StatusDetail(const EntryResult& r) {
    if (r.outcome == EntryOutcome::ConvertedWithoutPage) return "the SWF was written, its page is missing";
    if (StatusIsGeneral(r) || r.reasonCode == reason::kLoadFailed) return r.reasonText;
    return {};
}

const char* OutcomeName(EntryOutcome outcome) {
    for (const auto& n : kOutcomeNames)
        if (n.outcome == outcome) return n.name;
    return "failed";
}

bool ParseOutcomeName(std::string_view name, EntryOutcome& outcome) {
    for (const auto& n : kOutcomeNames)
        if (name == n.name) {
            outcome = n.outcome;
            return true;
        }
    return false;
}

void MeasureOutputs(EntryResult& r) {
    r.outputs.clear();
    for (const std::string* p : {&r.swfPath, &r.playerSwfPath, &r.htmlPath}) {
        if (p->empty()) continue;
        struct stat st {};
        r.outputs.push_back({*p, ::stat(p->c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0});
    }
}

}  // namespace tonvela
