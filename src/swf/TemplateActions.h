// The four DoAction tags a sound SWF takes from its template, produced by
// ExtractTemplateActions (SwfTemplate), owned by the batch driver and reused for every file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tonvela {

// One complete DoAction tag, header included.
struct ActionTag {
    std::vector<std::uint8_t> bytes;
    // Offset inside bytes of the 32-bit little-endian frame-rate literal (FindFrameRateLiteral),
    // when this tag carries one. Only start-play and start-stop ever have it.
    std::optional<std::size_t> frameRatePatch;

    std::size_t length() const { return bytes.size(); }
    bool empty() const { return bytes.empty(); }
    void Clear() {
        bytes.clear();
        frameRatePatch.reset();
    }
    // The tag's bytes with the movie's frame rate stored at the patch location (if any, and if
    // it lies inside the tag). The stored tag itself is left alone, so one TemplateActions can
    // serve many files with different rates.
    std::vector<std::uint8_t> WithFrameRate(int fps) const {
        std::vector<std::uint8_t> out = bytes;
        if (frameRatePatch && *frameRatePatch <= out.size() && out.size() - *frameRatePatch >= 4) {
            const auto v = static_cast<std::uint32_t>(fps);
            for (std::size_t i = 0; i < 4; ++i)
                out[*frameRatePatch + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        return out;
    }
};

struct TemplateActions {
    ActionTag startPlay;  // template frame 3: first frame when SWFInitPlay is set
    ActionTag startStop;  // template frame 4: first frame (event: own frame) when SWFInitPlay is clear
    ActionTag endLoop;    // template frame 5: last frame when SWFLoopPlay is set
    ActionTag endStop;    // template frame 6: last frame when SWFLoopPlay is clear

    void Clear() {
        startPlay.Clear();
        startStop.Clear();
        endLoop.Clear();
        endStop.Clear();
    }
    // A valid template gives all four.
    bool Complete() const {
        return !startPlay.empty() && !startStop.empty() && !endLoop.empty() && !endStop.empty();
    }
};

}  // namespace tonvela
