// The facts the player tests compare with what the player read: a SWF's frame size, rate, frame
// count and background colour, read by hand from the file format's description.
#pragma once

#include <QFile>
#include <QString>
#include <optional>

namespace tonvela::test {

struct SwfFacts {
    int width = 0;  // pixels
    int height = 0;
    double frameRate = 0;
    int frames = 0;
    QString background;  // "#RRGGBB" of the SetBackgroundColor tag
};

// The header and the background tag of an uncompressed SWF, from the format's description.
inline std::optional<SwfFacts> ReadSwfFacts(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray b = f.readAll();
    if (b.size() < 21 || !b.startsWith("FWS")) return std::nullopt;
    auto u8 = [&](qsizetype i) { return i < b.size() ? int(uchar(b[i])) : 0; };
    auto u16 = [&](qsizetype i) { return u8(i) | (u8(i + 1) << 8); };
    qsizetype bit = 8 * 8;  // the frame RECT starts after the 8-byte header
    auto bits = [&](int n) {
        qint64 v = 0;
        for (int k = 0; k < n; ++k, ++bit) v = (v << 1) | ((u8(bit / 8) >> (7 - bit % 8)) & 1);
        return v;
    };
    auto sbits = [&](int n) {
        const qint64 v = bits(n);
        return (n > 0 && ((v >> (n - 1)) & 1)) ? v - (qint64(1) << n) : v;
    };
    const int n = int(bits(5));
    const qint64 xmin = sbits(n), xmax = sbits(n), ymin = sbits(n), ymax = sbits(n);
    qsizetype at = (bit + 7) / 8;
    SwfFacts facts;
    facts.width = int((xmax - xmin) / 20);
    facts.height = int((ymax - ymin) / 20);
    facts.frameRate = u16(at) / 256.0;
    facts.frames = u16(at + 2);
    at += 4;
    while (at + 2 <= b.size()) {
        const int head = u16(at);
        qint64 len = head & 0x3F;
        at += 2;
        if (len == 0x3F) {
            len = qint64(u16(at)) | (qint64(u16(at + 2)) << 16);
            at += 4;
        }
        if ((head >> 6) == 9 && len >= 3)
            facts.background = QStringLiteral("#%1%2%3")
                                   .arg(u8(at), 2, 16, QLatin1Char('0'))
                                   .arg(u8(at + 1), 2, 16, QLatin1Char('0'))
                                   .arg(u8(at + 2), 2, 16, QLatin1Char('0'))
                                   .toUpper();
        if ((head >> 6) == 0) break;
        at += len;
    }
    return facts;
}

}  // namespace tonvela::test
