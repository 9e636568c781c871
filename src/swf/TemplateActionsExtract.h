// Takes the four DoAction tags a sound SWF needs out of a listed template.
#pragma once

#include "swf/SwfTemplate.h"
#include "swf/TemplateActions.h"

namespace tonvela {

// Frames are counted from 1: the DoAction of frame 3 becomes the start-play action, of frame 4
// start-stop, of 5 end-loop, of 6 end-stop (a later one in the same frame replaces an earlier
// one). DoActions in frames 1 and 2 (the template's own stop, shown when it plays alone) and
// beyond 6 are ignored. Needs the tag list of WalkAndRecolour. True only when all four were found;
// actions is emptied first in any case.
bool ExtractTemplateActions(const CSwfTemplate& tmpl, TemplateActions& actions);

}  // namespace tonvela
