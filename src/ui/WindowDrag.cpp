#include "ui/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace tonvela {

CWindowDrag::CWindowDrag(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

bool CWindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton) return false;
            // The window manager moves the window (this also works on Wayland); where it cannot,
            // the window follows the mouse itself.
            if (QWindow* w = window_->windowHandle(); w && w->startSystemMove()) return true;
            dragging_ = true;
            grabOffset_ = e->globalPosition().toPoint() - window_->frameGeometry().topLeft();
            return true;
        }
        case QEvent::MouseMove:
            if (!dragging_) return false;
            window_->move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - grabOffset_);
            return true;
        case QEvent::MouseButtonRelease:
            if (!dragging_) return false;
            dragging_ = false;
            return true;
        default: return false;
    }
}

}  // namespace tonvela
