#include "convert/BatchTemplate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "convert/ConvertOptions.h"
#include "swf/ColourMap.h"
#include "swf/FrameRateLiteral.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateActionsExtract.h"
#include "swf/TemplateKind.h"

namespace tonvela {

namespace {

std::uint32_t Colour(int c) { return static_cast<std::uint32_t>(c) & 0xFFFFFFu; }

}  // namespace

CBatchTemplate::CBatchTemplate() = default;
CBatchTemplate::~CBatchTemplate() = default;
CBatchTemplate::CBatchTemplate(CBatchTemplate&&) noexcept = default;
CBatchTemplate& CBatchTemplate::operator=(CBatchTemplate&&) noexcept = default;

BatchWriter ChooseBatchWriter(const CConvertOptions& settings) {
    if (settings.CreateCtrlSWF)
        return settings.ButtonSWFType == kButtonSingleSwf ? BatchWriter::StreamingWithControls
                                                          : BatchWriter::ShellPlayerPair;
    return settings.SWFSoundType == kSoundStreaming ? BatchWriter::Streaming : BatchWriter::Event;
}

std::string BatchTemplatePath(const CConvertOptions& settings) {
    switch (ChooseBatchWriter(settings)) {
        case BatchWriter::StreamingWithControls: return settings.ControlSWF;
        case BatchWriter::ShellPlayerPair: return settings.ShellPlayerSWF;
        default: return settings.EmptySWF;
    }
}

TemplateError PrepareBatchTemplate(const CConvertOptions& settings, CBatchTemplate& out) {
    out = CBatchTemplate{};
    out.writer = ChooseBatchWriter(settings);
    out.path = BatchTemplatePath(settings);
    out.tmpl = std::make_unique<CSwfTemplate>();
    CSwfTemplate& t = *out.tmpl;
    std::string why;
    if (!t.Load(out.path, &why)) {
        // A missing file needs no more words than "not available"; anything else says what it is.
        if (why != std::strerror(ENOENT)) out.loadError = why;
        return TemplateError::NotAvailable;
    }

    bool jpeg = false;
    if (settings.CreateCtrlSWF) {
        const int kind = TemplateKindFromPath(out.path);
        if (kind == kKindTrack) {
            BuildTrackColourMap(t, Colour(settings.SWFBtnColor), Colour(settings.TrackSWFBkgTopColor),
                                Colour(settings.TrackSWFBkgBottomColor), Colour(settings.TrackSWFBorderColor),
                                settings.TBC);
        } else if (kind == kKindJpeg) {
            if (!settings.JPEGFile.empty() && settings.JPEGWidth > 0 && settings.JPEGHeight > 0) {
                jpeg = true;
                // A picture that cannot be used leaves the template's own background, but the
                // movie keeps the size the user chose, and the user is told.
                if (!t.ReplaceJpeg(settings.JPEGFile, settings.JPEGWidth, settings.JPEGHeight)) {
                    t.SetFrameSize(settings.JPEGWidth, settings.JPEGHeight);
                    out.notice = JpegRefusedText(settings.JPEGFile, settings.JPEGWidth, settings.JPEGHeight);
                }
            }
        } else {
            BuildButtonColourMap(t, kind, Colour(settings.SWFBtnColor), settings.GC);
        }
    }
    t.SetBackground(Colour(settings.SWFBkgColor));
    // A tag list that cannot be walked holds no controls and no actions.
    if (!t.WalkAndRecolour()) return TemplateError::NotValid;

    if (out.writer != BatchWriter::ShellPlayerPair) {
        if (!ExtractTemplateActions(t, out.actions)) return TemplateError::NotValid;
        if (TemplateShowsTime(out.path)) {
            ActionTag& start = settings.SWFInitPlay ? out.actions.startPlay : out.actions.startStop;
            start.frameRatePatch = FindFrameRateLiteral(start);
            if (!start.frameRatePatch) return TemplateError::NotValid;
        }
    }
    out.stageWidth = jpeg ? settings.JPEGWidth : t.FrameWidth();
    out.stageHeight = jpeg ? settings.JPEGHeight : t.FrameHeight();
    return TemplateError::None;
}

std::string JpegRefusedText(const std::string& jpegPath, int widthPx, int heightPx) {
    return "The background picture \"" + jpegPath +
           "\" could not be used (it cannot be read, or it is larger than 64 MB or 32767 pixels). "
           "The movies show the template's own picture at " +
           std::to_string(widthPx) + " x " + std::to_string(heightPx) + " pixels.";
}

std::string TemplateErrorText(TemplateError error, const std::string& path, const std::string& why) {
    switch (error) {
        case TemplateError::NotAvailable:
            return "Error: the template SWF file \"" + path + "\" is not available" +
                   (why.empty() ? "" : " (" + why + ")") +
                   ".\n\nPlease re-install the software and try again.";
        case TemplateError::NotValid:
            return "Error: the template SWF file \"" + path +
                   "\" is not a valid template file.\n\nPlease re-install the software and try again.";
        default: return {};
    }
}

}  // namespace tonvela
