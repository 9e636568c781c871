// Moves a window without a caption when the left mouse button is pressed on its background.
#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace tonvela {

class CWindowDrag : public QObject {
    Q_OBJECT
public:
    // Watches window's own mouse events (not its children's: buttons keep their clicks).
    explicit CWindowDrag(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint grabOffset_;  // the press position relative to the window's top-left corner
};

}  // namespace tonvela
