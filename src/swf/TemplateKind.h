// Which colour map (or JPEG background) a control template takes, chosen by its file name.
#pragma once

#include <filesystem>

namespace tonvela {

enum TemplateKind : int {
    kKindNone = 0,
    kKindCircleGradient = 100,  // four greens -> the button colour in four shades
    kKindCirclePlain = 150,     // black -> button colour
    kKindSquareGradient = 200,  // one dark blue -> button colour
    kKindTrack = 300,           // track bar greys -> shades and the three track colours
    kKindTrumpet = 400,         // one blue -> button colour
    kKindRoundRect = 500,       // nine greys -> scaled button colour
    kKindJpeg = 600,            // picture background; black (the buttons) -> button colour
    kKindText = 700,            // black -> button colour
};

// The kind from the template's file name, lower-cased; the first stem that occurs wins.
// Only the file name counts: a folder called "texts" must not turn every template into kind 700.
TemplateKind TemplateKindFromPath(const std::filesystem::path& path);

// True when the template's file name contains "time" in any case: such templates display the
// elapsed and total time (single SWFs carry the frame-rate literal, shell players take a
// duration). As above, folder names do not count.
bool TemplateShowsTime(const std::filesystem::path& path);

}  // namespace tonvela
