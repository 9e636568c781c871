// What the conversion sees of a progress display: a per-file line and bar, an overall line and
// bar, a cancel flag, and a place where the caller keeps its user interface alive. The GUI's
// progress window and the command line's terminal bar both implement it.
#pragma once

#include <string>

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

    // Overall line ("Converting %d of %d file(s) into SWF...") and bar (range 0 .. n, step 1).
    virtual void SetOverallText(const std::string& text) = 0;
    virtual void SetOverallRange(int max) = 0;
    virtual void StepOverall() = 0;

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
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void StepOverall() override {}
    void ProcessEvents() override {}
    bool IsCancelled() const override { return false; }
};

}  // namespace tonvela
