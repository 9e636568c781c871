// The shipped control templates: their look (one style per template kind), their layout and
// the tags and actions that make them work.
#pragma once

#include <string>
#include <vector>

#include "ControlScripts.h"
#include "SwfTags.h"

namespace tonvela::templategen {

enum class Style { SquareGradient, CircleGradient, CirclePlain, Text, Track, Trumpet, RoundRect, Jpeg };

struct TemplateRecipe {
    std::string fileName;  // the kind is read from it, so it carries the kind's stem
    Style style;
    bool time = false;     // elapsed / total time display ("time" in the name)
    bool track = false;    // track bar showing the position, click to seek
};

// Where the test harness finds the controls, in pixels.
struct ControlLayout {
    int width = 0, height = 0;
    int playX = 0, playY = 0, stopX = 0, stopY = 0;
    bool track = false;
    int trackX0 = 0, trackX1 = 0, trackY = 0;
    bool time = false;
    int timeX = 0, timeY = 0, timeW = 0, timeH = 0;
};

// The template file for a single SWF (mode Single) or a shell player (mode Shell).
Bytes BuildTemplate(const TemplateRecipe& recipe, Mode mode, const Bytes& placeholderJpeg,
                    ControlLayout& layout);

// empty.swf: a frame size and the four actions of a movie without controls.
Bytes BuildEmptyTemplate();

}  // namespace tonvela::templategen
