// What became of one entry of a batch: the one record that every front end reads (the window's
// list, the command line's text and JSON, the run's journal, resume and merge), so none of them
// rebuilds "converted or not" from pieces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

enum class EntryOutcome {
    Converted,
    // The SWF (and player) were written and are kept, but the page asked for could not be: the
    // entry counts as failed everywhere (the user asked for a page) and a resumed run writes it
    // again into the same names.
    ConvertedWithoutPage,
    AlreadyDone,  // a resumed run found the outputs of an earlier one complete
    Skipped,      // not tried: its name is taken ("Skip"), or another run is converting it now
    Refused,      // the settings or the source leave it nothing to convert (no sound, target is the source)
    Failed,
    Cancelled,
};

// Stable reason codes, for scripts (the text beside them may change).
namespace reason {
inline constexpr const char* kNone = "";
inline constexpr const char* kPageNotWritten = "page-not-written";
inline constexpr const char* kTargetExists = "target-exists";
inline constexpr const char* kInProgressElsewhere = "in-progress-elsewhere";
inline constexpr const char* kTargetIsSource = "target-is-source";
inline constexpr const char* kNoSound = "no-sound";
inline constexpr const char* kRefusedBySettings = "refused-by-settings";
inline constexpr const char* kFolderNotCreated = "folder-not-created";
inline constexpr const char* kFileNotCreated = "file-not-created";
inline constexpr const char* kWebPlayerNotCopied = "web-player-not-copied";
inline constexpr const char* kConversionFailed = "conversion-failed";
inline constexpr const char* kLoadFailed = "load-failed";
inline constexpr const char* kCancelled = "cancelled";
}  // namespace reason

struct EntryOutputFile {
    std::string path;
    std::uint64_t size = 0;
};

struct EntryResult {
    EntryOutcome outcome = EntryOutcome::Failed;
    // The outputs that are on disk for the entry now (written or, already done, found), with
    // their sizes: SWF first, then the player SWF, then the page.
    std::string swfPath, playerSwfPath, htmlPath;
    std::vector<EntryOutputFile> outputs;
    std::string reasonCode;  // one of reason::k*; empty for a success
    std::string reasonText;  // what a person reads; for a failure of the conversion itself the detail
    std::string missingPage;  // ConvertedWithoutPage: the page that could not be written
    // Whole seconds of sound read from the source; declaredSeconds when the source ended
    // more than a second before the length it declared, else 0.
    std::uint32_t secondsRead = 0;
    std::uint32_t declaredSeconds = 0;
    // The first-choice SWF name an earlier entry of the same batch had written, so this one's
    // names were numbered; empty otherwise.
    std::string renamedFrom;

    // Converted, or found complete: nothing more to do for it.
    bool Ok() const { return outcome == EntryOutcome::Converted || outcome == EntryOutcome::AlreadyDone; }
    // Its outputs (at least the SWF) are on disk.
    bool HasOutputs() const { return !swfPath.empty(); }
};

// The entry's status as the list's "SWF" column and the command line show it: the SWF's name
// (with notes) when converted, otherwise what went wrong.
std::string StatusText(const EntryResult& result);
// What the status leaves out: the detail of a failure, shown after it ("status: detail") and in
// the list's tooltip; empty when there is none.
std::string StatusDetail(const EntryResult& result);

// The outcome's name in reports ("converted", "convertedWithoutPage", "alreadyDone", "skipped",
// "refused", "failed", "cancelled"), and back; false for an unknown name.
const char* OutcomeName(EntryOutcome outcome);
bool ParseOutcomeName(std::string_view name, EntryOutcome& outcome);

// Fills outputs from the three paths with their sizes as they are on disk now.
void MeasureOutputs(EntryResult& result);

// Status texts of outcomes that have no other text.
inline constexpr const char* kStatusAlreadyDone = "Already converted";
inline constexpr const char* kStatusFailedToLoad = "Failed to load";
inline constexpr const char* kStatusInProgressElsewhere = "Being converted by another run";

}  // namespace tonvela
