// libFuzzer target: the background-picture rewrite. The input is split into a picture and a
// template (at a point its first two bytes give); the picture is checked as the batch checks
// it, the template rebuilt around it at a size from the next bytes, and the template's bytes
// read as one DefineShape body to stretch.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "swf/JpegCheck.h"
#include "swf/JpegRewrite.h"
#include "swf/SwfTemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const std::size_t cut = std::min<std::size_t>(static_cast<std::size_t>(data[0] | data[1] << 8), size - 6);
    const int width = 1 + (data[2] | (data[3] & 0x7F) << 8), height = 1 + (data[4] | (data[5] & 0x7F) << 8);
    data += 6;
    size -= 6;
    const std::vector<std::uint8_t> jpeg(data, data + cut), swf(data + cut, data + size);
    (void)tonvela::IsCompleteJpeg(jpeg.data(), jpeg.size());
    (void)tonvela::StretchShapeBody(swf.data(), swf.size(), width * 20, height * 20);
    tonvela::CSwfTemplate tmpl;
    if (tmpl.LoadFromBytes(swf)) {
        auto rebuilt = tonvela::RebuildAroundJpeg(tmpl.Bytes(), tmpl.FirstTagOffset(), tmpl.Version(),
                                                  tmpl.FrameRate(), tmpl.FrameCount(), jpeg, width, height);
        // What the rewrite made must load and walk like any template.
        tonvela::CSwfTemplate again;
        if (rebuilt && again.LoadFromBytes(std::move(*rebuilt))) (void)again.WalkAndRecolour();
    }
    return 0;
}
