// The ActionScript of the templates, assembled to AVM1 byte code. Each function documents the
// script it builds in ActionScript terms, so the byte code can be audited against it.
//
// Variables: the movie's main timeline holds tvPlaying (1 while the sound runs), tvInit (the
// start action has run once) and, in "time" templates, tvFps (the frame rate the writer patches
// into the start action). The controls live in a sprite "ctl" on that timeline; its scripts reach
// the main timeline as _parent and the sound as _parent (single SWF) or _parent.snd (the sound
// SWF a shell player has loaded into its holder sprite "snd").
#pragma once

#include <string>
#include <vector>

#include "SwfTags.h"

namespace tonvela::templategen {

enum class Mode { Single, Shell };

struct ControlContext {
    Mode mode = Mode::Single;
    bool time = false;
    bool track = false;
    int trackX0 = 0;      // pixels, in ctl's coordinates
    int trackWidth = 0;   // pixels
    // Instances shown while stopped and while playing.
    std::vector<std::string> showWhenStopped = {"playBtn"};
    std::vector<std::string> showWhenPlaying = {"pauseBtn"};
};

// Main timeline, frames 3 to 6 of a control template.
Bytes StartPlayActions(bool time);
Bytes StartStopActions(bool time);
Bytes EndLoopActions();
Bytes EndStopActions();
// The same four for a movie without controls (empty.swf).
Bytes PlainStartPlayActions();
Bytes PlainStartStopActions();

// Frame 1 of a single-SWF template: stop, so the template alone shows its controls.
Bytes TemplateStopActions();
// Frame 1 of a shell player: stop, read autoplay, load the sound SWF named by soundswf.
Bytes PlayerInitActions();

// Button and ticker scripts inside ctl.
Bytes PlayButtonActions(const ControlContext& c);
Bytes PauseButtonActions(const ControlContext& c);
Bytes StopButtonActions(const ControlContext& c);
Bytes SeekButtonActions(const ControlContext& c);
Bytes TickActions(const ControlContext& c);

}  // namespace tonvela::templategen
