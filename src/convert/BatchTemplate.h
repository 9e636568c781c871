// The SWF writer and template of one batch: chosen from the settings, loaded, recoloured (or
// rebuilt around the JPEG), with the template's actions taken out.
#pragma once

#include <memory>
#include <string>

#include "convert/TemplateMovie.h"
#include "swf/TemplateActions.h"

namespace tonvela {

class CConvertOptions;
class CSwfTemplate;

enum class BatchWriter {
    StreamingWithControls,  // WriteStreamingSwf with the template's control tags (ControlSWF)
    ShellPlayerPair,        // WriteShellPlayerPair (ShellPlayerSWF)
    Streaming,              // WriteStreamingSwf without control tags (EmptySWF)
    Event,                  // WriteEventSwf (EmptySWF)
};

BatchWriter ChooseBatchWriter(const CConvertOptions& settings);
// The template file the writer needs.
std::string BatchTemplatePath(const CConvertOptions& settings);

struct CBatchTemplate {
    CBatchTemplate();
    ~CBatchTemplate();
    CBatchTemplate(CBatchTemplate&&) noexcept;
    CBatchTemplate& operator=(CBatchTemplate&&) noexcept;

    BatchWriter writer = BatchWriter::StreamingWithControls;
    std::string path;
    std::string loadError;    // why the template could not be loaded
    std::unique_ptr<CSwfTemplate> tmpl;
    TemplateActions actions;  // not used by the shell-player pair
    int stageWidth = 0;       // pixels; the JPEG's size for a JPEG-background template
    int stageHeight = 0;
    std::string notice;       // for the user when the batch goes on without what was asked (the picture)
    int encodeThreads = 0;    // cores the encoder of one file may use; 0: all of the machine's
};

// Loads and prepares the batch's template (MakeTemplateMovie). NotAvailable when it cannot be
// loaded, NotValid when its actions (or the frame-rate literal of a "time" template) are missing.
TemplateError PrepareBatchTemplate(const CConvertOptions& settings, CBatchTemplate& out);

// The message box text for a template error, naming the template's path.
// why: the reason a template could not be loaded (CBatchTemplate::loadError), when known.
std::string TemplateErrorText(TemplateError error, const std::string& path, const std::string& why = {});

}  // namespace tonvela
