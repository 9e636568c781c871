// A control template turned into the movie the user sees: loaded, recoloured to the look
// settings (or rebuilt around the background picture), with its stage size. The batch writes
// this movie and the options page previews it, so the two always agree.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace tonvela {

class CConvertOptions;
class CSwfTemplate;

// The settings that decide how a template looks. Colours hold red in the low byte.
struct TemplateLook {
    std::uint32_t buttonColour = 0;
    std::uint32_t backgroundColour = 0xFFFFFF;
    std::uint32_t trackTopColour = 0;
    std::uint32_t trackBottomColour = 0;
    std::uint32_t trackBorderColour = 0;
    std::array<float, 4> gc = {0.4f, 1.0f, 0.3f, 0.8f};
    float tbc = 1.0f;
    std::string jpegFile;
    int jpegWidth = 0;
    int jpegHeight = 0;
};

TemplateLook LookOf(const CConvertOptions& settings);

struct CTemplateMovie {
    CTemplateMovie();
    ~CTemplateMovie();
    CTemplateMovie(CTemplateMovie&&) noexcept;
    CTemplateMovie& operator=(CTemplateMovie&&) noexcept;

    std::unique_ptr<CSwfTemplate> tmpl;
    int stageWidth = 0;   // pixels; the picture's size for a JPEG-background template
    int stageHeight = 0;
    std::string notice;   // for the user when the movie goes without what was asked (the picture)
    std::string loadError;  // why the template could not be loaded, when more than "missing"
};

enum class TemplateError { None, NotAvailable, NotValid, NoPicture };

// Loads the template at path and, when controls is set (a movie with playback controls),
// recolours it to look by its kind or rebuilds it around the picture; the background colour
// is set either way. NotAvailable when it cannot be loaded, NotValid when its tags cannot be
// walked.
TemplateError MakeTemplateMovie(const std::string& path, const TemplateLook& look, bool controls,
                                CTemplateMovie& out);

// The notice for a background picture that ReplaceJpeg refused.
std::string JpegRefusedText(const std::string& jpegPath, int widthPx, int heightPx);

}  // namespace tonvela
