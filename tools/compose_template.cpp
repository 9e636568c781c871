// Writes a sound SWF from an MP3 through a control template, the way a batch conversion does:
// load, colour map or picture, background, walk, actions (and the frame-rate literal of "time"
// templates), then the streaming writer or the shell-player pair. Used by the player tests.
//
//   compose_template MP3 TEMPLATE OUT.swf [options]
//     --seconds N        whole seconds of the sound (default 1)
//     --colour RRGGBB    button colour (default 00AA00)
//     --background RRGGBB
//     --init-play 0|1  --loop 0|1  --blank N  --fps N
//     --jpeg FILE W H    picture for a JPEG-background template
//     --player OUT       write the shell-player pair: OUT.swf is the sound, this the player
//     --template-only    write only the prepared template to OUT.swf (for looking at it)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/ConvertOptions.h"
#include "swf/ColourMap.h"
#include "swf/FrameRateLiteral.h"
#include "swf/SoundSwfLayouts.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateActionsExtract.h"
#include "swf/TemplateKind.h"

using namespace tonvela;

namespace {

// RRGGBB as typed -> COLORREF (red in the low byte).
std::uint32_t ColourRef(const char* hex) {
    const auto v = static_cast<std::uint32_t>(std::strtoul(hex, nullptr, 16));
    return (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
}

int Fail(const char* what) {
    std::fprintf(stderr, "compose_template: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Fail("usage: compose_template MP3 TEMPLATE OUT.swf [options]");
    const std::string mp3 = argv[1], path = argv[2], out = argv[3];
    CConvertOptions o;  // the colour tables and colours of the settings' defaults
    SoundSwfOptions layout;
    SoundSwfNumbers numbers;
    numbers.convertedSeconds = 1;
    std::string player, jpeg;
    int jpegW = 0, jpegH = 0;
    bool templateOnly = false;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : "0"; };
        if (a == "--seconds") numbers.convertedSeconds = std::atoi(next());
        else if (a == "--colour") o.SWFBtnColor = static_cast<int>(ColourRef(next()));
        else if (a == "--background") o.SWFBkgColor = layout.backgroundColour = static_cast<int>(ColourRef(next()));
        else if (a == "--init-play") layout.initPlay = std::atoi(next()) != 0;
        else if (a == "--loop") layout.loopPlay = std::atoi(next()) != 0;
        else if (a == "--blank") layout.blankFrames = std::atoi(next());
        else if (a == "--fps") layout.frameRate = std::atoi(next());
        else if (a == "--player") player = next();
        else if (a == "--template-only") templateOnly = true;
        else if (a == "--jpeg") {
            jpeg = next();
            jpegW = std::atoi(next());
            jpegH = std::atoi(next());
        } else return Fail("unknown option");
    }

    CSwfTemplate t;
    if (!t.Load(path)) return Fail("template not available");
    const TemplateKind kind = TemplateKindFromPath(path);
    const auto colour = static_cast<std::uint32_t>(o.SWFBtnColor);
    if (kind == kKindTrack)
        BuildTrackColourMap(t, colour, static_cast<std::uint32_t>(o.TrackSWFBkgTopColor),
                            static_cast<std::uint32_t>(o.TrackSWFBkgBottomColor),
                            static_cast<std::uint32_t>(o.TrackSWFBorderColor), o.TBC);
    else if (kind == kKindJpeg) {
        if (!jpeg.empty() && !t.ReplaceJpeg(jpeg, jpegW, jpegH)) return Fail("picture not usable");
        BuildButtonColourMap(t, kind, colour, o.GC);
    } else
        BuildButtonColourMap(t, kind, colour, o.GC);
    t.SetBackground(static_cast<std::uint32_t>(o.SWFBkgColor));
    if (!t.WalkAndRecolour()) return Fail("template not valid");
    if (templateOnly) return t.SaveAs(out) ? 0 : Fail("cannot write");

    if (!player.empty()) {
        return WriteShellPlayerPair(layout, numbers, mp3, out, player, t) ? 0 : Fail("writing failed");
    }
    TemplateActions actions;
    if (!ExtractTemplateActions(t, actions)) return Fail("template without its four actions");
    if (TemplateShowsTime(path)) {
        ActionTag& start = layout.initPlay ? actions.startPlay : actions.startStop;
        start.frameRatePatch = FindFrameRateLiteral(start);
        if (!start.frameRatePatch) return Fail("time template without the frame-rate literal");
    }
    return WriteStreamingSwf(layout, numbers, mp3, out, t, actions) ? 0 : Fail("writing failed");
}
