// Whether an earlier run already finished a file, for runs that pick up where a killed or
// failed one stopped (--resume).
#pragma once

#include <string>

#include "convert/OutputNames.h"

namespace tonvela {

class CConvertOptions;

// Complete: every output the settings ask for (SWF, page, player SWF in their first-choice
// place, see PlannedOutputPaths) is a non-empty regular file (an empty one is a claim, or a
// file that is not ours), and
// each is newer than source. outputs gets the planned names either way.
bool OutputsComplete(const std::string& source, const CConvertOptions& settings, PlannedOutputs& outputs);

// Removes the abandoned claims among outputs, so that the run that resumes a killed one writes
// the very names it planned instead of numbered ones beside them.
void ReleaseAbandonedClaims(const PlannedOutputs& outputs);

// Whether one of outputs is an empty file that a running copy of the program holds: another
// run is converting that file right now.
bool ClaimedByLiveRun(const PlannedOutputs& outputs);

}  // namespace tonvela
