// The progress window of a conversion batch: a line and bar for each file that runs (one per
// job), the overall line and bar, and Cancel. It deletes itself when closed. It only shows what the batch reports; the
// batch runs elsewhere and polls the cancel request.
#pragma once

#include <cstddef>
#include <vector>

#include "convert/BatchProgress.h"
#include "ui/ProgressWindow.h"

class QVBoxLayout;

namespace tonvela {

class CConvertProgressDlg : public CProgressWindow {
    Q_OBJECT
public:
    // fileRows: the files converted at once, each with its line and bar.
    explicit CConvertProgressDlg(QWidget* parent, int fileRows = 1);

    // The per-file bar's width in pixels (the conversion uses it as the bar's range).
    int FileBarWidth() const;
    // Shows it centred over its parent.
    void Open() { ShowCentred(); }

    int FileRows() const { return static_cast<int>(files_.size()); }
    QString FileText(int row = 0) const;
    int FilePos(int row = 0) const;  // 0 .. kBatchBarMax
    // The row's line and bar are shown (a file runs in it).
    bool FileShown(int row = 0) const;
    QString OverallText() const;
    int OverallPos() const;  // 0 .. kBatchBarMax

public slots:
    // Running files fill the rows from the top in batch order; the window grows to the rows
    // in use, and rows left over show nothing and keep their room.
    void ShowBatch(const tonvela::BatchProgressView& view);

private:
    struct FileRow {
        QLabel* text;
        QProgressBar* bar;
    };
    // Gives the first rows their room in the window (true when that is more rows than before);
    // FitHeight then gives the window the height they need.
    bool KeepRoom(std::size_t rows);
    void FitHeight();

    std::vector<FileRow> files_;
    QVBoxLayout* rowsLayout_ = nullptr;
    QWidget* rowsPage_ = nullptr;
    std::size_t rowsWithRoom_ = 0;
    QLabel* overallText_;
    QProgressBar* overallBar_;
};

}  // namespace tonvela
