#include "convert/TemplateMovie.h"

#include <cerrno>
#include <cstring>

#include "convert/ConvertOptions.h"
#include "swf/ColourMap.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateKind.h"

namespace tonvela {

namespace {

std::uint32_t Colour(int c) { return static_cast<std::uint32_t>(c) & 0xFFFFFFu; }

}  // namespace

CTemplateMovie::CTemplateMovie() = default;
CTemplateMovie::~CTemplateMovie() = default;
CTemplateMovie::CTemplateMovie(CTemplateMovie&&) noexcept = default;
CTemplateMovie& CTemplateMovie::operator=(CTemplateMovie&&) noexcept = default;

TemplateLook LookOf(const CConvertOptions& s) {
    TemplateLook look;
    look.buttonColour = Colour(s.SWFBtnColor);
    look.backgroundColour = Colour(s.SWFBkgColor);
    look.trackTopColour = Colour(s.TrackSWFBkgTopColor);
    look.trackBottomColour = Colour(s.TrackSWFBkgBottomColor);
    look.trackBorderColour = Colour(s.TrackSWFBorderColor);
    look.gc = s.GC;
    look.tbc = s.TBC;
    look.jpegFile = s.JPEGFile;
    look.jpegWidth = s.JPEGWidth;
    look.jpegHeight = s.JPEGHeight;
    return look;
}

TemplateError MakeTemplateMovie(const std::string& path, const TemplateLook& look, bool controls,
                                CTemplateMovie& out) {
    out = CTemplateMovie{};
    out.tmpl = std::make_unique<CSwfTemplate>();
    CSwfTemplate& t = *out.tmpl;
    std::string why;
    if (!t.Load(path, &why)) {
        // A missing file needs no more words than "not available"; anything else says what it is.
        if (why != std::strerror(ENOENT)) out.loadError = why;
        return TemplateError::NotAvailable;
    }

    bool jpeg = false;
    if (controls) {
        const int kind = TemplateKindFromPath(path);
        if (kind == kKindTrack) {
            BuildTrackColourMap(t, look.buttonColour, look.trackTopColour, look.trackBottomColour,
                                look.trackBorderColour, look.tbc);
        } else if (kind == kKindJpeg) {
            if (!look.jpegFile.empty() && look.jpegWidth > 0 && look.jpegHeight > 0) {
                jpeg = true;
                // A picture that cannot be used leaves the template's own background, but the
                // movie keeps the size the user chose, and the user is told.
                if (!t.ReplaceJpeg(look.jpegFile, look.jpegWidth, look.jpegHeight)) {
                    t.SetFrameSize(look.jpegWidth, look.jpegHeight);
                    out.notice = JpegRefusedText(look.jpegFile, look.jpegWidth, look.jpegHeight);
                }
            }
            BuildButtonColourMap(t, kind, look.buttonColour, look.gc);
        } else {
            BuildButtonColourMap(t, kind, look.buttonColour, look.gc);
        }
    }
    t.SetBackground(look.backgroundColour);
    // A tag list that cannot be walked holds no controls and no actions.
    if (!t.WalkAndRecolour()) return TemplateError::NotValid;
    out.stageWidth = jpeg ? look.jpegWidth : t.FrameWidth();
    out.stageHeight = jpeg ? look.jpegHeight : t.FrameHeight();
    return TemplateError::None;
}

std::string JpegRefusedText(const std::string& jpegPath, int widthPx, int heightPx) {
    return "The background picture \"" + jpegPath +
           "\" could not be used (it cannot be read, or it is larger than 64 MB or 32767 pixels). "
           "The movies show the template's own picture at " +
           std::to_string(widthPx) + " x " + std::to_string(heightPx) + " pixels.";
}

}  // namespace tonvela
