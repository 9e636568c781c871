// What the batch conversion sees of its front end: message boxes, the file list's status column,
// the progress window and the after-batch folder view. The main window and the command line
// each implement it.
#pragma once

#include <cstddef>
#include <string>

#include "convert/ConvertProgress.h"
#include "convert/EntryResult.h"

namespace tonvela {

enum class MessageIcon { Exclamation, Stop, Information };

class CBatchUi {
public:
    virtual ~CBatchUi() = default;

    // A modal message box with the caption "Tonvela".
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // Column "SWF" of a row: "Converting..." while it converts, then what EntryFinished shows.
    virtual void SetStatus(std::size_t row, const std::string& text) = 0;
    // Why a row failed beyond its status text ("Conversion Failure"), right after that status.
    virtual void SetFailureReason(std::size_t /*row*/, const std::string& /*reason*/) {}
    // A row's entry is finished, its outputs committed; called in input order on the batch's
    // thread. By default the list's column gets StatusText and the tooltip StatusDetail.
    virtual void EntryFinished(std::size_t row, const EntryResult& result) {
        SetStatus(row, StatusText(result));
        if (const std::string detail = StatusDetail(result); !detail.empty()) SetFailureReason(row, detail);
    }
    // A row's entry is done, its outputs committed: called on the batch's thread as soon as
    // that is seen, so with several files at once a row may be done before the rows ahead of
    // it; EntryFinished follows, in input order. By default nothing.
    virtual void EntryDone(std::size_t /*row*/, const EntryResult& /*result*/) {}
    // A row's output names are chosen (claimed where the policy claims them) and nothing is
    // written yet: paths SWF, player, page (empty when not written). Called on the thread that
    // converts the row, which may be a worker of the batch.
    virtual void OutputsNamed(std::size_t /*row*/, const EntryResult& /*named*/) {}
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
