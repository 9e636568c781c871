// Converting an entry again into the outputs an earlier run recorded for it (--resume with a
// journal): its own earlier files are replaced, so repeated runs settle on one set of names
// instead of adding numbered copies.
#pragma once

#include <string>

namespace tonvela {

class CConvertOptions;
class COutputReservations;
struct CFileListEntry;

enum class RecordedNaming {
    Done,                 // the entry's paths are set to the recorded names
    InProgressElsewhere,  // a name is claimed by a run that is still going
    Failed,               // a name cannot be written (error says why)
    Unavailable,          // an entry of this batch has the name: choose names as usual
};

// Sets entry's swfPath, htmlPath and playerSwfPath to the outputs the settings ask for under
// base (what an earlier run wrote, without extension). A claim a killed run left there is
// removed; an empty file a live run holds is its claim (InProgressElsewhere). Nothing is claimed:
// the files are replaced when the new ones are complete, as with "Overwrite".
RecordedNaming NameAsRecorded(CFileListEntry& entry, const CConvertOptions& settings, const std::string& base,
                              COutputReservations* reservations, std::string& error);

}  // namespace tonvela
