// The progress window of an add operation: one line of text, a bar and a Cancel button that
// only sets a flag, which the adding loop polls between files (and a slow look at a file
// hears at once).
#pragma once

#include "convert/FileList.h"
#include "ui/ProgressWindow.h"

namespace tonvela {

class CProgressDlg : public CProgressWindow, public CAddProgress {
    Q_OBJECT
public:
    // A small window without a caption, centred over parent.
    explicit CProgressDlg(QWidget* parent);

    void SetText(const std::string& text) override;
    void SetRange(int max) override;
    void Step() override;
    // Lets the window paint and the Cancel button act between files.
    void ProcessEvents() override;
    bool IsCancelled() const override { return CancelRequested(); }
    // The work runs on a thread of its own; the window paints and takes Cancel meanwhile, and
    // Cancel also makes a read or probe waiting inside the decoding library give up.
    void RunAside(const std::function<void()>& work) override;

    // Shows the window centred over its parent and lets it paint.
    void Open();
    QString Text() const;
    int Position() const;
    int Maximum() const;

private:
    QLabel* text_;
    QProgressBar* bar_;
};

}  // namespace tonvela
