// The progress window of a conversion batch: the current file's line and bar, the overall line
// and bar, and Cancel. It deletes itself when closed. It only shows what the batch reports; the
// batch runs elsewhere and polls the cancel request.
#pragma once

#include "ui/ProgressWindow.h"

namespace tonvela {

class CConvertProgressDlg : public CProgressWindow {
    Q_OBJECT
public:
    explicit CConvertProgressDlg(QWidget* parent);

    // The per-file bar's width in pixels (the conversion uses it as the bar's range).
    int FileBarWidth() const;
    // Shows it centred over its parent.
    void Open() { ShowCentred(); }

    QString FileText() const;
    QString OverallText() const;
    int FilePos() const;
    int OverallPos() const;

public slots:
    void SetFileText(const QString& text);
    void SetFileBarRange(int max);
    void SetFileBarPos(int pos);
    void SetOverallText(const QString& text);
    void SetOverallRange(int max);
    void StepOverall();

private:
    QLabel* fileText_;
    QProgressBar* fileBar_;
    QLabel* overallText_;
    QProgressBar* overallBar_;
};

}  // namespace tonvela
