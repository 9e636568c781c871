// The progress window of a conversion batch: the current file's line and bar, the overall line
// and bar, and Cancel. It has no caption, drags from anywhere on its face, ignores Enter and
// Esc, and deletes itself when closed. It only shows what the batch reports; the batch runs
// elsewhere and polls the cancel request.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tonvela {

class CConvertProgressDlg : public QWidget {
    Q_OBJECT
public:
    explicit CConvertProgressDlg(QWidget* parent);

    // The per-file bar's width in pixels (the conversion uses it as the bar's range).
    int FileBarWidth() const;
    bool CancelRequested() const { return cancelRequested_; }
    // Shows it centred over its parent.
    void Open();

    QString FileText() const;
    QString OverallText() const;
    int FilePos() const;
    int OverallPos() const;
    QPushButton* CancelButton() const { return cancel_; }

public slots:
    void SetFileText(const QString& text);
    void SetFileBarRange(int max);
    void SetFileBarPos(int pos);
    void SetOverallText(const QString& text);
    void SetOverallRange(int max);
    void StepOverall();

signals:
    void CancelClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* fileText_;
    QProgressBar* fileBar_;
    QLabel* overallText_;
    QProgressBar* overallBar_;
    QPushButton* cancel_;
    bool cancelRequested_ = false;
};

}  // namespace tonvela
