#include "ui/ColorSwatch.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tonvela {

CColorSwatch::CColorSwatch(QWidget* parent) : QWidget(parent), color_(Qt::black) {
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void CColorSwatch::SetColor(const QColor& color) {
    color_ = color;
    update();
}

void CColorSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, color_);
    p.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
    p.drawRect(r);
}

void CColorSwatch::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

void CColorSwatch::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tonvela
