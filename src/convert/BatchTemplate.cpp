#include "convert/BatchTemplate.h"

#include "convert/ConvertOptions.h"
#include "swf/FrameRateLiteral.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateActionsExtract.h"
#include "swf/TemplateKind.h"

namespace tonvela {

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
    // A template of the picture kind shows the picture the user chose: without one (none was
    // given, or the stored one is gone) the movie would show the template's placeholder.
    if (settings.CreateCtrlSWF && TemplateKindFromPath(out.path) == kKindJpeg && settings.JPEGFile.empty())
        return TemplateError::NoPicture;
    CTemplateMovie movie;
    const TemplateError made = MakeTemplateMovie(out.path, LookOf(settings), settings.CreateCtrlSWF != 0, movie);
    out.tmpl = std::move(movie.tmpl);
    out.notice = std::move(movie.notice);
    out.loadError = std::move(movie.loadError);
    if (made != TemplateError::None) return made;

    if (out.writer != BatchWriter::ShellPlayerPair) {
        if (!ExtractTemplateActions(*out.tmpl, out.actions)) return TemplateError::NotValid;
        if (TemplateShowsTime(out.path)) {
            ActionTag& start = settings.SWFInitPlay ? out.actions.startPlay : out.actions.startStop;
            start.frameRatePatch = FindFrameRateLiteral(start);
            if (!start.frameRatePatch) return TemplateError::NotValid;
        }
    }
    out.stageWidth = movie.stageWidth;
    out.stageHeight = movie.stageHeight;
    return TemplateError::None;
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
        case TemplateError::NoPicture:
            return "Please choose a JPEG file.\n\nThe template \"" + path +
                   "\" shows a JPEG picture as its background (JPEGFile), and none is set or the one set is gone.";
        default: return {};
    }
}

}  // namespace tonvela
