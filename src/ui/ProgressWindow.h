// What the two progress windows (adding files, converting a batch) share: a small window without
// a caption that drags from anywhere on its face, ignores Enter and Esc, opens centred over its
// parent, and has a Cancel button that only records the request.
#pragma once

#include <QWidget>

class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;

namespace tonvela {

class CProgressWindow : public QWidget {
    Q_OBJECT
public:
    bool CancelRequested() const { return cancelRequested_; }
    QPushButton* CancelButton() const { return cancel_; }

signals:
    void CancelClicked();

protected:
    CProgressWindow(QWidget* parent, const char* name);

    // Shows the window centred over its parent.
    void ShowCentred();
    // A line of plain text that a long file name cannot widen.
    QLabel* MakeLine(const char* name);
    QProgressBar* MakeBar(const QString& accessibleName);
    // The row that holds Cancel, centred.
    QLayout* CancelRow();

    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* cancel_;
    bool cancelRequested_ = false;
};

}  // namespace tonvela
