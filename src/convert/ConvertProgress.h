// What the conversion sees of a progress display. One file's conversion reports through the
// per-file line and bar; a batch gives each file a display of its own (see BatchProgress) and
// shows the front end the whole batch at once. The GUI's progress window and the command
// line's terminal display both implement it.
#pragma once

#include <string>

#include "convert/BatchProgress.h"

namespace tonvela {

class CConvertProgress {
public:
    virtual ~CConvertProgress() = default;

    // Per-file line ("Converting %s...%d%%") and bar.
    virtual void SetFileText(const std::string& text) = 0;
    // The bar's width in pixels; the conversion sets the bar's range to 0 .. width.
    virtual int FileBarWidth() const = 0;
    virtual void SetFileBarRange(int max) = 0;
    virtual void SetFileBarPos(int pos) = 0;

    // The whole batch: one line and bar per running file, the overall line and bar.
    virtual void ShowBatch(const BatchProgressView& view) = 0;

    // Called after every block of work: a GUI dispatches its pending events here.
    virtual void ProcessEvents() = 0;
    // Set by the Cancel button (or an interrupt); polled after ProcessEvents.
    virtual bool IsCancelled() const = 0;
};

// A progress display that shows nothing and is never cancelled.
class CNullConvertProgress : public CConvertProgress {
public:
    void SetFileText(const std::string&) override {}
    int FileBarWidth() const override { return 100; }
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int) override {}
    void ShowBatch(const BatchProgressView&) override {}
    void ProcessEvents() override {}
    bool IsCancelled() const override { return false; }
};

}  // namespace tonvela
