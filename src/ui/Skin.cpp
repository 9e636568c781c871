#include "ui/Skin.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>

namespace tonvela {

QString SkinStyleSheet() {
    // Sizes in logical pixels: Qt scales them with the screen (QT_SCALE_FACTOR, 200 % screens).
    return QStringLiteral(R"css(
QWidget { color: #1e2933; }
QWidget:disabled { color: #8c99a3; }
QWidget#addProgress, QWidget#convertProgress {
    background: #f3f6f8;
}
QWidget#addProgress, QWidget#convertProgress { border: 1px solid #124e60; }
QPushButton {
    background: #ffffff; color: #1e2933; border: 1px solid #9fb3bf; border-radius: 4px;
    padding: 4px 14px; min-height: 18px;
}
QPushButton:hover { background: #e6f1f5; border-color: #1d6f86; }
QPushButton:pressed { background: #cfe3ea; }
QPushButton:focus { border: 2px solid #1d6f86; padding: 3px 13px; }
QPushButton:disabled { color: #8c99a3; background: #eef1f3; border-color: #c9d3da; }
QPushButton[role="command"] {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #2583a0, stop:1 #1d6f86);
    color: #ffffff; font-weight: bold; font-size: 12px; border: 1px solid #124e60; padding: 2px 6px;
}
QPushButton[role="command"]:hover { background: #2a91b0; }
QPushButton[role="command"]:pressed { background: #124e60; }
QPushButton[role="command"]:focus { border: 2px solid #f2a93b; padding: 1px 5px; }
QPushButton[role="command"]:disabled { background: #9ab7c1; color: #eef4f6; border-color: #86a4ae; }
QPushButton[role="caption"] {
    background: transparent; border: 1px solid transparent; border-radius: 3px; padding: 0px; min-height: 0px;
}
QPushButton[role="caption"]:hover { background: rgba(255, 255, 255, 40); border-color: rgba(255, 255, 255, 90); }
QPushButton[role="caption"]:pressed { background: rgba(0, 0, 0, 50); }
QPushButton[role="caption"]:focus { border: 2px solid #f2a93b; }
QPushButton[role="link"] {
    background: transparent; border: none; color: #1d6f86; text-decoration: underline; padding: 0px;
    min-height: 0px; text-align: left;
}
QPushButton[role="link"]:hover { color: #2a91b0; }
QTreeView {
    background: #ffffff; alternate-background-color: #f1f6f8; border: 1px solid #9fb3bf;
    show-decoration-selected: 1;
}
QTreeView::item { padding: 2px 4px; }
QHeaderView::section {
    background: #e4ecf0; color: #1e2933; border: none; border-right: 1px solid #c9d6dd;
    border-bottom: 1px solid #9fb3bf; padding: 3px 4px;
}
QProgressBar {
    background: #ffffff; border: 1px solid #9fb3bf; border-radius: 3px; min-height: 12px; max-height: 14px;
}
QProgressBar::chunk { background: #2583a0; border-radius: 2px; }
QMenu { background: #ffffff; border: 1px solid #9fb3bf; padding: 3px; }
QMenu::item { padding: 4px 24px 4px 20px; }
QMenu::item:selected { background: #1d6f86; color: #ffffff; }
QMenu::item:disabled { color: #9aa6ae; }
QMenu::separator { height: 1px; background: #d5dee3; margin: 3px 6px; }
QToolTip { background: #fffbe6; color: #1e2933; border: 1px solid #c9b96b; padding: 3px; }
QPlainTextEdit { background: #ffffff; border: 1px solid #9fb3bf; }
)css");
}

void PaintGlyph(QPainter& p, const QRectF& r, SkinGlyph glyph, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = std::min(r.width(), r.height());
    const QRectF box(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    QPen pen(colour, std::max<qreal>(1.0, s / 10.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto at = [&](qreal x, qreal y) { return QPointF(box.left() + x * s, box.top() + y * s); };
    switch (glyph) {
        case SkinGlyph::Close:
            p.drawLine(at(0.28, 0.28), at(0.72, 0.72));
            p.drawLine(at(0.72, 0.28), at(0.28, 0.72));
            break;
        case SkinGlyph::Minimize: p.drawLine(at(0.26, 0.68), at(0.74, 0.68)); break;
        case SkinGlyph::SortUp:
        case SkinGlyph::SortDown: {
            const bool up = glyph == SkinGlyph::SortUp;
            const QPointF tri[] = {at(0.15, up ? 0.70 : 0.30), at(0.85, up ? 0.70 : 0.30), at(0.50, up ? 0.30 : 0.70)};
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawPolygon(tri, 3);
            break;
        }
        case SkinGlyph::Help: {
            QPainterPath q;
            q.moveTo(at(0.34, 0.36));
            q.cubicTo(at(0.34, 0.16), at(0.66, 0.16), at(0.66, 0.36));
            q.cubicTo(at(0.66, 0.50), at(0.50, 0.48), at(0.50, 0.62));
            p.drawPath(q);
            p.setBrush(colour);
            p.setPen(Qt::NoPen);
            p.drawEllipse(at(0.50, 0.80), s * 0.06, s * 0.06);
            break;
        }
        case SkinGlyph::Logo: {
            // A rounded tile with a sound wave running into a play triangle.
            p.setPen(Qt::NoPen);
            QLinearGradient g(box.topLeft(), box.bottomLeft());
            g.setColorAt(0, QColor(0x2a, 0x91, 0xb0));
            g.setColorAt(1, QColor(0x12, 0x4e, 0x60));
            p.setBrush(g);
            p.drawRoundedRect(box.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04), s * 0.2, s * 0.2);
            p.setPen(QPen(Qt::white, s * 0.07, Qt::SolidLine, Qt::RoundCap));
            const qreal heights[] = {0.16, 0.30, 0.44, 0.24};
            for (int i = 0; i < 4; ++i) {
                const qreal x = 0.20 + 0.09 * i;
                p.drawLine(at(x, 0.5 - heights[i] / 2), at(x, 0.5 + heights[i] / 2));
            }
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            const QPointF tri[] = {at(0.58, 0.30), at(0.82, 0.50), at(0.58, 0.70)};
            p.drawPolygon(tri, 3);
            break;
        }
    }
    p.restore();
}

namespace {

class CGlyphEngine : public QIconEngine {
public:
    CGlyphEngine(SkinGlyph glyph, QColor colour) : glyph_(glyph), colour_(colour) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        QColor c = colour_;
        if (mode == QIcon::Disabled) c.setAlpha(110);
        PaintGlyph(*painter, rect, glyph_, c);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap pm(size * scale);
        pm.setDevicePixelRatio(scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new CGlyphEngine(glyph_, colour_); }

private:
    SkinGlyph glyph_;
    QColor colour_;
};

// The platform's style with tooltips that come up after 300 ms.
class CSkinStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay) return kToolTipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
    static constexpr int kToolTipDelayMs = 300;
};

}  // namespace

QIcon SkinIcon(SkinGlyph glyph, const QColor& colour) { return QIcon(new CGlyphEngine(glyph, colour)); }

void ApplySkin(QApplication& app) {
    QPalette pal = app.palette();
    pal.setColor(QPalette::Highlight, skin::kAccent);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    // Selected rows of a window in the background: paler, dark text. Set in the palette, not
    // the style sheet: an item rule for that state shifts and cuts the rows' text.
    pal.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xbc, 0xd6, 0xdf));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, skin::kInk);
    pal.setColor(QPalette::Window, skin::kFace);
    pal.setColor(QPalette::WindowText, skin::kInk);
    pal.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe6));
    pal.setColor(QPalette::ToolTipText, skin::kInk);
    app.setStyle(new CSkinStyle);  // the application takes ownership
    app.setPalette(pal);
    app.setStyleSheet(SkinStyleSheet());
    app.setWindowIcon(SkinIcon(SkinGlyph::Logo));
}

}  // namespace tonvela
