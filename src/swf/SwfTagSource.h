// What the composition routines (SoundSwfLayouts) see of a template: CSwfTemplate
// implements it; CMemoryTagSource (MemoryTagSource.h) is a small in-memory stand-in.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tonvela {

class CSwfTagSource {
public:
    virtual ~CSwfTagSource() = default;

    // The template's SWF version byte.
    virtual std::uint8_t Version() const = 0;
    // The movie's frame size in pixels (for a JPEG-background template, the JPEG's size).
    virtual int FrameWidth() const = 0;
    virtual int FrameHeight() const = 0;

    // Top-level tags in file order, the End tag included. ResetTagCursor goes back to the first.
    virtual void ResetTagCursor() = 0;
    // The next tag: its code, its bytes (tag header included) and their total length. False
    // after the last tag (outputs then unspecified). The bytes stay valid while the source lives
    // and is not changed.
    virtual bool NextTag(std::uint16_t& code, const std::uint8_t*& bytes, std::uint32_t& length) = 0;

    // Writes the whole (recoloured) template as a file, replacing an existing one; on failure
    // returns false and leaves no partial file.
    virtual bool SaveAs(const std::filesystem::path& path) const = 0;
};

}  // namespace tonvela
