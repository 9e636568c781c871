// The page's colour texts: six hexadecimal digits RRGGBB of a colour held with red in the low
// byte, as the settings hold it.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>

namespace tonvela {

// "RRGGBB" of a colour held with red in the low byte.
QString ColourText(std::uint32_t colour);
// A colour edit's text read as RRGGBB: two characters per component, a single trailing
// character standing for the high digit ("F" is F0); the first character that is not a
// hexadecimal digit ends the reading, leaving what follows 0.
std::uint32_t ParseColourText(const QString& text);

QColor ToQColor(std::uint32_t colour);
std::uint32_t FromQColor(const QColor& colour);

}  // namespace tonvela
