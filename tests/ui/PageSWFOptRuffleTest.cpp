// The SWF page's live preview in the real player: for a template of every kind, recoloured
// with a colour that is not the default, what the player read from the preview movie (its
// size, frames, rate and background) equals the movie's header read here by hand, and the
// background is the one chosen on the page. A screenshot of each goes to <build>/screenshots/.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "OptionsTestSupport.h"
#include "convert/ConvertOptions.h"
#include "ui/PageSWFOpt.h"
#include "ui/SheetOptions.h"

using namespace tonvela;
using namespace tonvela::test;

namespace {

struct SwfFacts {
    int width = 0;  // pixels
    int height = 0;
    double frameRate = 0;
    int frames = 0;
    QString background;  // "#RRGGBB" of the SetBackgroundColor tag
};

// The header and the background tag of an uncompressed SWF, from the format's description.
std::optional<SwfFacts> ReadSwfFacts(const QString& path) {
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

}  // namespace

class CPageSWFOptRuffleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void previewOfEachKind_data();
    void previewOfEachKind();

private:
    QTemporaryDir tmp_;
};

void CPageSWFOptRuffleTest::initTestCase() {
    QVERIFY(tmp_.isValid());
    // Test-only: the web engine's sandbox does not start as root.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
    qputenv("TMPDIR", tmp_.path().toUtf8());
    qputenv("TONVELA_DATA_DIR", QByteArray::fromStdString(DataDir()));
    if (!QFile::exists(QString::fromStdString(DataDir()) + QStringLiteral("ruffle/ruffle.js")))
        QSKIP("the web player's files are not in the data folder");
}

void CPageSWFOptRuffleTest::previewOfEachKind_data() {
    QTest::addColumn<QString>("name");
    for (const char* t : {"circle_gradient_1", "circle_plain_1", "square_gradient_3", "track_time_1", "trumpet_1",
                          "round_rect_1", "use_a_jpeg_1", "text_1"})
        QTest::newRow(t) << QString::fromLatin1(t);
}

void CPageSWFOptRuffleTest::previewOfEachKind() {
    QFETCH(QString, name);
    CConvertOptions s(DataDir());
    s.ControlSWF = DataDir() + "ControlSWF/" + name.toStdString() + ".swf";
    s.SWFBtnColor = 0x2040C0;  // red C0, green 40, blue 20
    s.SWFBkgColor = 0xF0E0D0;
    s.TrackSWFBkgTopColor = 0xFFE0E0;
    s.TrackSWFBkgBottomColor = 0x8080FF;
    s.TrackSWFBorderColor = 0x000080;
    s.JPEGFile = DataDir() + "sample.jpg";
    s.JPEGWidth = 160;
    s.JPEGHeight = 120;
    CSheetOptions sheet(s, CSheetOptions::kSwfPage);
    CPageSWFOpt* page = sheet.SwfPage();
    QVERIFY2(page->HasPreview(), "the player could not be created");
    auto* flash = sheet.findChild<CShockwaveFlash*>();
    QVERIFY(flash);
    QSignalSpy loaded(flash, &CShockwaveFlash::movieLoaded);
    sheet.show();
    QVERIFY(loaded.count() > 0 || loaded.wait(60000));
    const QVariantMap m = loaded.last().first().toMap();
    const std::optional<SwfFacts> facts = ReadSwfFacts(QString::fromStdString(page->PreviewFile().string()));
    QVERIFY(facts);
    // The picture template keeps its own background tag (the picture covers the stage).
    const bool picture = name == QLatin1String("use_a_jpeg_1");
    if (!picture) QCOMPARE(facts->background, QStringLiteral("#D0E0F0"));
    QCOMPARE(m.value("backgroundColor").toString().toUpper(), facts->background);
    QCOMPARE(m.value("width").toInt(), facts->width);
    QCOMPARE(m.value("height").toInt(), facts->height);
    QCOMPARE(m.value("numFrames").toInt(), facts->frames);
    QCOMPARE(m.value("frameRate").toDouble(), facts->frameRate);
    if (picture) QCOMPARE(QSize(facts->width, facts->height), QSize(160, 120));

    QTest::qWait(1500);  // let the player draw a few frames
    QVERIFY(sheet.grab().save(ScreenshotDir() + QStringLiteral("/options-preview-%1.png").arg(name)));
}

QTEST_MAIN(CPageSWFOptRuffleTest)
#include "PageSWFOptRuffleTest.moc"
