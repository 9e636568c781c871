// The SWF preview: shows a converted entry's movie in a small modal window.
#pragma once

class QWidget;

namespace tonvela {

class CConvertOptions;
struct CFileListEntry;

// The Play SWF command for one entry: builds the movie reference (the shell-player query for
// pairs, with the entry's convertedSeconds), runs the preview window, and when the player
// cannot be created asks whether to open the entry's page or the player's download address.
void PlaySwf(const CFileListEntry& entry, const CConvertOptions& settings, QWidget* parent);

}  // namespace tonvela
