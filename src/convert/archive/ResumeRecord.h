// What earlier runs recorded, for a run that resumes them (--resume): a file is done when the
// latest line for it says it was converted from a source of the same size and time with the
// same settings, and every output it lists still has its size. Otherwise it is converted again,
// into the outputs recorded for it when there are such (a run killed while converting it
// recorded them before it wrote anything).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "convert/EntryResult.h"
#include "convert/FileListEntry.h"
#include "convert/archive/ReportReader.h"
#include "convert/archive/RunJournal.h"

namespace tonvela {

class CConvertOptions;

class CResumeRecord {
public:
    // Adds a report; later reports (and later lines) win. fromJournal: the report is the journal
    // this run continues, so a file done there needs no new line.
    void Add(const ParsedReport& report, bool fromJournal);
    bool Empty() const { return files_.empty(); }

    // NoRecord too for a file whose lines name no outputs that may be reused.
    enum class State { Done, Redo, NoRecord };
    struct Plan {
        State state = State::NoRecord;
        EntryResult done;          // Done: AlreadyDone with the recorded outputs and their sizes
        CFileListEntry probe;      // Done: the columns the line recorded (the file is not opened)
        bool recordedHere = false; // Done: the continued journal holds the line already
        std::string recordedBase;  // Redo: the outputs to replace (no extension), or empty
    };
    Plan PlanFor(const JournalSource& source, const std::string& fingerprint, const CConvertOptions& settings) const;

    // Every output the record names (for the journal's own check).
    std::vector<std::string> RecordedOutputs() const;

private:
    struct Known {
        const ReportEntry* finished = nullptr;  // the latest finished line
        bool finishedHere = false;
        const ReportEntry* named = nullptr;     // the latest line that names outputs
        std::string namedSettings;
    };
    std::vector<ParsedReport> reports_;
    std::map<std::string, Known> files_;
};

}  // namespace tonvela
