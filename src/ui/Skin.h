// The program's own look: one style sheet for the whole application (so every window and
// dialog shares it) and a few glyphs painted as vectors, sharp at any scale.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QApplication;
class QPainter;
class QRectF;

namespace tonvela {

namespace skin {
inline const QColor kAccent{0x1d, 0x6f, 0x86};      // buttons, title band
inline const QColor kAccentDark{0x12, 0x4e, 0x60};  // pressed, borders
inline const QColor kFace{0xf3, 0xf6, 0xf8};        // window background
inline const QColor kInk{0x1e, 0x29, 0x33};         // ordinary text
inline constexpr int kTitleBandHeight = 56;
}  // namespace skin

enum class SkinGlyph { Help, Minimize, Close, Logo, SortUp, SortDown };

// The style sheet text.
QString SkinStyleSheet();
// Applies the style sheet, the application's icon and the palette's accent colours.
void ApplySkin(QApplication& app);
// A glyph drawn to any size; Logo is the program's icon.
QIcon SkinIcon(SkinGlyph glyph, const QColor& colour = Qt::white);
void PaintGlyph(QPainter& p, const QRectF& rect, SkinGlyph glyph, const QColor& colour);

}  // namespace tonvela
