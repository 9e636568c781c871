#include "ui/ColourText.h"

namespace tonvela {

namespace {

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

}  // namespace

QColor ToQColor(std::uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

std::uint32_t FromQColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

QString ColourText(std::uint32_t c) {
    return QStringLiteral("%1%2%3")
        .arg(c & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((c >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((c >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::uint32_t ParseColourText(const QString& text) {
    std::uint32_t colour = 0;
    for (int component = 0; component < 3; ++component) {
        const int at = component * 2;
        const int high = at < text.size() ? HexDigit(text[at]) : 0;
        if (high < 0) break;
        // A missing second character stays "0"; one that is not hexadecimal ends the reading
        // after the first digit.
        const int low = at + 1 < text.size() ? HexDigit(text[at + 1]) : 0;
        const int value = low < 0 ? high : high * 16 + low;
        colour |= static_cast<std::uint32_t>(value) << (8 * component);
        if (low < 0) break;
    }
    return colour;
}

}  // namespace tonvela
