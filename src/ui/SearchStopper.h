// Lets a folder search keep the window alive and hear Cancel: the search asks at every entry,
// the window paints and takes clicks a few times a second.
#pragma once

#include "convert/FolderSearch.h"

namespace tonvela {

class CProgressDlg;

// The first ask lets events through at once, later ones every 50 ms; true once Cancel was pressed.
SearchStop SearchStopFor(CProgressDlg& progress);

}  // namespace tonvela
