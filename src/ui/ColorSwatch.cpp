#include "ui/ColorSwatch.h"

#include <QKeyEvent>
#include <QPainter>

namespace tonvela {

CColorSwatch::CColorSwatch(QWidget* parent) : QAbstractButton(parent), color_(Qt::black) {
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleDescription(color_.name().toUpper());
}

void CColorSwatch::SetColor(const QColor& color) {
    color_ = color;
    setAccessibleDescription(color_.name().toUpper());
    update();
}

void CColorSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, color_);
    p.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
    p.drawRect(r);
}

void CColorSwatch::keyPressEvent(QKeyEvent* event) {
    // Space is the button's own; Enter too, as on the swatch before it was a button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace tonvela
