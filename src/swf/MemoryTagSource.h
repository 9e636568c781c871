// An in-memory source of template tags (CSwfTagSource), for tests and the demo until the
// template reader (SwfTemplate) is in place, and for movies built in code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "swf/SwfTagSource.h"
#include "swf/TemplateActions.h"

namespace tonvela {

class CMemoryTagSource : public CSwfTagSource {
public:
    CMemoryTagSource(std::uint8_t version, int widthPx, int heightPx)
        : version_(version), width_(widthPx), height_(heightPx) {}

    // Appends a tag with this body; the header is made here.
    void AddTag(std::uint16_t code, const std::vector<std::uint8_t>& body);
    // Appends a complete tag (header included), e.g. one of TemplateActions.
    void AddRawTag(std::uint16_t code, const std::vector<std::uint8_t>& bytes);

    std::uint8_t Version() const override { return version_; }
    int FrameWidth() const override { return width_; }
    int FrameHeight() const override { return height_; }
    void ResetTagCursor() override { cursor_ = 0; }
    bool NextTag(std::uint16_t& code, const std::uint8_t*& bytes, std::uint32_t& length) override;
    // Header (frame rate 12, frame count = ShowFrame tags) followed by the tags as added.
    bool SaveAs(const std::filesystem::path& path) const override;
    // The bytes SaveAs writes.
    std::vector<std::uint8_t> Serialize() const;

private:
    struct Tag {
        std::uint16_t code;
        std::vector<std::uint8_t> bytes;
    };
    std::uint8_t version_;
    int width_;
    int height_;
    std::vector<Tag> tags_;
    std::size_t cursor_ = 0;
};

// A complete DoAction tag holding these action bytes (ActionEndFlag appended).
ActionTag MakeDoAction(const std::vector<std::uint8_t>& actions);

// A small control template in the frame layout of the shipped templates: frame 1 holds a SetBackgroundColor,
// a DefineShape (a filled rounded "play" square of the given colour, COLORREF layout) and its
// PlaceObject2; frame 2 is empty; frames 3 to 6 hold one DoAction each (play; stop; go to frame
// 1 and play; stop). The start actions carry the frame-rate literal that time displays read (so the patch
// locations are set), as time-displaying templates do. Fills actions from frames 3 to 6.
CMemoryTagSource MakeDemoControlTemplate(int widthPx, int heightPx, std::uint32_t colour,
                                         TemplateActions& actions);

}  // namespace tonvela
