// Windows that fit the screen they open on at any scale: the room a window may take (the
// screen's available area without its frame), a window brought into that room, and a scroll
// area for content that cannot shrink.
#pragma once

#include <QRect>
#include <QScrollArea>
#include <QSize>

class QScreen;
class QWidget;

namespace tonvela {

// The screen a window opens on: its own once shown, else its parent's, else the primary one.
QScreen* ScreenOf(const QWidget* window);
// The available area of that screen, in the window's (logical) pixels.
QRect AvailableArea(const QWidget* window);
// The largest size a window's client area may take there: the available area without room
// for the window manager's frame.
QSize RoomFor(const QWidget* window);

// A top-level window no larger than its room: its minimum and fixed sizes are bounded to it,
// its size shrinks into it, and a shown window moves the least that keeps it inside the area.
void FitToScreen(QWidget* window);

// A scroll area for a page whose content does not shrink: it asks for the content's whole size
// (so a window that has the room shows everything and no scroll bar) and scrolls when the
// window is smaller.
class CScrollPage : public QScrollArea {
    Q_OBJECT
public:
    // Takes content; the area has no frame and the page's background.
    explicit CScrollPage(QWidget* content, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

}  // namespace tonvela
