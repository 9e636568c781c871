// A control template SWF held whole in memory: loaded and checked, its tags listed, recoloured
// in place to the user's colours, and written back out. The sound SWF writers read it through
// CSwfTagSource.
//
// Templates are input like any other file (a user may drop any SWF into the template folder):
// every parser here stays inside the buffer, and inside the tag it parses, whatever the bytes
// say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "swf/SwfBits.h"
#include "swf/SwfTagSource.h"

namespace tonvela {

// One top-level tag of the template: its code, where its header starts, its length with header.
struct TemplateTag {
    std::uint16_t code = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

class CSwfTemplate : public CSwfTagSource {
public:
    CSwfTemplate() = default;

    // Reads and checks the file: an uncompressed SWF ("FWS"), declared length above 20, the
    // whole declared length present, a header that fits. Compressed ("CWS", "ZWS") and short
    // files are refused, and so is anything but a regular file (without blocking on a FIFO).
    // Does not list the tags. On failure the template is empty and why says what is wrong.
    bool Load(const std::filesystem::path& path, std::string* why = nullptr);
    // The same checks on bytes already in memory (tests, the JPEG rewrite).
    bool LoadFromBytes(std::vector<std::uint8_t> bytes);

    void SetBackground(std::uint32_t colour) { background_ = colour; }
    void ClearColourMap() { colourMap_.clear(); }
    // Replaces the target of an existing from colour, else appends the pair.
    void MapColour(std::uint32_t from, std::uint32_t to);
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& ColourMap() const {
        return colourMap_;
    }

    // Lists the top-level tags (End included) and, when the colour map is not empty, recolours
    // the buffer in place. False when the template is not valid: no file loaded, a tag that runs
    // past the end of the file, or no End tag. The tag list then stays empty, so nothing can be
    // copied or extracted from it.
    bool WalkAndRecolour();

    // Rebuilds the file around the JPEG (see JpegRewrite.h). False leaves the template as it was.
    bool ReplaceJpeg(const std::filesystem::path& jpegPath, int widthPx, int heightPx);

    // CSwfTagSource
    std::uint8_t Version() const override { return version_; }
    // The frame size the writers give the movie, in pixels; the template's bytes stay as they are.
    void SetFrameSize(int widthPx, int heightPx) {
        frameWidth_ = widthPx;
        frameHeight_ = heightPx;
    }
    int FrameWidth() const override { return frameWidth_; }
    int FrameHeight() const override { return frameHeight_; }
    void ResetTagCursor() override { cursor_ = 0; }
    bool NextTag(std::uint16_t& code, const std::uint8_t*& bytes, std::uint32_t& length) override;
    bool SaveAs(const std::filesystem::path& path) const override;

    int FrameRate() const { return frameRate_; }
    int FrameCount() const { return frameCount_; }
    bool Loaded() const { return !buffer_.empty(); }
    std::size_t FirstTagOffset() const { return firstTagOffset_; }
    const std::vector<std::uint8_t>& Bytes() const { return buffer_; }
    const std::vector<TemplateTag>& Tags() const { return tags_; }
    // The picture size in twips ReplaceJpeg stretched the shapes to (0 before).
    int JpegFrameWidth() const { return jpegWidthTwips_; }
    int JpegFrameHeight() const { return jpegHeightTwips_; }

private:
    void Clear();
    // Recolours the tags of [begin, end), a sprite's body or the whole file; depth bounds nesting.
    void RecolourTags(std::size_t begin, std::size_t end, int depth);
    void RecolourTag(std::uint16_t code, std::size_t begin, std::size_t end, int depth);
    // Looks the 3 bytes at offset up in the colour map and overwrites them on a match.
    void LookUp(std::size_t offset);
    void RecolourShape(std::size_t begin, std::size_t end, bool withAlpha);
    bool RecolourStyles(CSwfBitReader& r, std::size_t base, bool withAlpha);
    void RecolourText(std::size_t begin, std::size_t end);
    void RecolourEditText(std::size_t begin, std::size_t end);

    std::vector<std::uint8_t> buffer_;
    std::uint8_t version_ = 0;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int frameRate_ = 0;
    int frameCount_ = 0;
    std::size_t firstTagOffset_ = 0;
    std::vector<TemplateTag> tags_;
    std::size_t cursor_ = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> colourMap_;
    std::uint32_t background_ = 0xFFFFFF;
    int jpegWidthTwips_ = 0;
    int jpegHeightTwips_ = 0;
};

}  // namespace tonvela
