// Whether an earlier run already finished a file, for runs that pick up where a killed or
// failed one stopped (--resume).
#pragma once

#include <string>

#include "convert/OutputNames.h"

namespace tonvela {

class CConvertOptions;

// Complete: every output the settings ask for (SWF, page, player SWF in their first-choice
// place, see PlannedOutputPaths) is a regular file, none is a claim left by a dead run, and
// each is newer than source. outputs gets the planned names either way.
bool OutputsComplete(const std::string& source, const CConvertOptions& settings, PlannedOutputs& outputs);

// Whether path is a name claim that no running conversion will fill. Until claims carry their
// owner, an empty file counts as one: a finished output is never empty.
bool IsAbandonedClaim(const std::string& path);

// Removes the abandoned claims among outputs, so that the run that resumes a killed one writes
// the very names it planned instead of numbered ones beside them.
void ReleaseAbandonedClaims(const PlannedOutputs& outputs);

}  // namespace tonvela
