// What the batch conversion sees of its front end: message boxes, the file list's status column,
// the progress window and the after-batch folder view. The main window and the command line
// each implement it.
#pragma once

#include <cstddef>
#include <string>

#include "convert/ConvertProgress.h"

namespace tonvela {

enum class MessageIcon { Exclamation, Stop, Information };

class CBatchUi {
public:
    virtual ~CBatchUi() = default;

    // A modal message box with the caption "Tonvela".
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // Column "SWF" of a row: "Converting...", the SWF's file name, an error text or "Cancelled".
    virtual void SetStatus(std::size_t row, const std::string& text) = 0;
    // Why a row failed beyond its status text ("Conversion Failure"), right after that status.
    virtual void SetFailureReason(std::size_t /*row*/, const std::string& /*reason*/) {}
    virtual void ScrollIntoView(std::size_t /*row*/) {}

    // Wait cursor from the start of the batch to its end.
    virtual void BeginWait() {}
    virtual void EndWait() {}
    // Disables the main window and shows the progress window; the reference stays valid until
    // CloseProgress, which closes it and enables the main window again.
    virtual CConvertProgress& OpenProgress() = 0;
    virtual void CloseProgress() = 0;

    // The after-batch step: shows the first SWF written in the file manager.
    virtual void ShowFirstSwf(const std::string& swfPath) = 0;
};

}  // namespace tonvela
