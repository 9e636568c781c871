#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace tonvela {

namespace {

// Left for the window manager's title bar and borders, which a window cannot know before it
// is first shown.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 40;

}  // namespace

QScreen* ScreenOf(const QWidget* window) {
    if (window) {
        if (window->isVisible()) return window->screen();
        if (const QWidget* parent = window->parentWidget()) return parent->window()->screen();
        return window->screen();
    }
    return QGuiApplication::primaryScreen();
}

QRect AvailableArea(const QWidget* window) {
    const QScreen* screen = ScreenOf(window);
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

QSize RoomFor(const QWidget* window) {
    const QRect area = AvailableArea(window);
    QSize frame(kFrameWidth, kFrameHeight);
    // A window shown before knows its frame; a window without one needs no room for it.
    if (window && window->isWindow()) {
        if (window->windowFlags() & Qt::FramelessWindowHint)
            frame = QSize(0, 0);
        else if (window->isVisible() && window->frameGeometry().size() != window->size())
            frame = window->frameGeometry().size() - window->size();
    }
    return (area.size() - frame).expandedTo(QSize(1, 1));
}

void FitToScreen(QWidget* window) {
    if (!window) return;
    const QSize room = RoomFor(window);
    window->setMinimumSize(window->minimumSize().boundedTo(room));
    window->setMaximumSize(window->maximumSize().boundedTo(room).expandedTo(window->minimumSize()));
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    if (!window->isVisible()) return;
    // Inside the area with its frame, moved the least.
    const QRect area = AvailableArea(window);
    const QSize outer = window->size() + (area.size() - room);
    const QPoint at = window->frameGeometry().topLeft();
    const int x = std::clamp(at.x(), area.x(), std::max(area.x(), area.right() + 1 - outer.width()));
    const int y = std::clamp(at.y(), area.y(), std::max(area.y(), area.bottom() + 1 - outer.height()));
    if (QPoint(x, y) != at) window->move(x, y);
}

CScrollPage::CScrollPage(QWidget* content, QWidget* parent) : QScrollArea(parent) {
    setObjectName(content->objectName() + QStringLiteral("Scroll"));
    setFrameShape(QFrame::NoFrame);
    // No stop of its own in the tab order: Tab goes to the page's controls, and the area
    // scrolls to the one that takes the focus.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    setWidget(content);
    // The page's own background shows through, as it did without the area.
    viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
}

QSize CScrollPage::sizeHint() const {
    const QWidget* content = widget();
    if (!content) return QScrollArea::sizeHint();
    const QMargins m = contentsMargins() + viewportMargins();
    return content->sizeHint().expandedTo(content->minimumSizeHint()).grownBy(m);
}

QSize CScrollPage::minimumSizeHint() const {
    // Room for the scroll bars and a little of the page.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QSize(4 * bar, 4 * bar);
}

}  // namespace tonvela
