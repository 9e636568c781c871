// libFuzzer target: any bytes as a template SWF dropped into the template folder: loaded,
// walked and recoloured under every colour map, its actions taken, rebuilt around a picture.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "swf/ColourMap.h"
#include "swf/FrameRateLiteral.h"
#include "swf/JpegRewrite.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateActions.h"
#include "swf/TemplateActionsExtract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    for (int kind : {0, 100, 150, 200, 300, 400, 500, 700}) {
        tonvela::CSwfTemplate tmpl;
        if (!tmpl.LoadFromBytes(bytes)) return 0;
        tmpl.SetBackground(0x123456);
        if (kind == 300)
            tonvela::BuildTrackColourMap(tmpl, 0x00AA00, 0xE8FFE8, 0x9DFF9D, 0x008000, 5.0f);
        else
            tonvela::BuildButtonColourMap(tmpl, kind, 0x3366FF);
        if (!tmpl.WalkAndRecolour()) return 0;
        tonvela::TemplateActions actions;
        if (tonvela::ExtractTemplateActions(tmpl, actions)) {
            (void)tonvela::FindFrameRateLiteral(actions.startPlay);
            (void)tonvela::FindFrameRateLiteral(actions.startStop);
        }
        tmpl.ResetTagCursor();
        std::uint16_t code = 0;
        const std::uint8_t* tag = nullptr;
        std::uint32_t length = 0;
        while (tmpl.NextTag(code, tag, length)) {
        }
    }
    // A tiny stand-in picture: the rewrite copies its bytes without decoding them.
    const std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    tonvela::CSwfTemplate tmpl;
    if (tmpl.LoadFromBytes(bytes))
        (void)tonvela::RebuildAroundJpeg(tmpl.Bytes(), tmpl.FirstTagOffset(), tmpl.Version(),
                                         tmpl.FrameRate(), tmpl.FrameCount(), jpeg, 100, 75);
    return 0;
}
