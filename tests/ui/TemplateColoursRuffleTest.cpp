// Every control template recoloured with saturated button colours (FF0000, 0000FF), shown in
// the SWF page's live preview by the real player: what the player read from the preview movie
// (its size, frames, rate and background) equals the movie's header read here by hand, the
// background is the one chosen on the page, and the player draws the play and stop symbols in
// their own colour, which stands apart from the button's. Screenshots go to
// <build>/screenshots/template-<name>-<colour>.png.
#include <QSignalSpy>
#include <QtTest>

#include "OptionsTestSupport.h"
#include "SwfFacts.h"
#include "convert/ConvertOptions.h"
#include "swf/ColourMap.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateKind.h"
#include "ui/PageSWFOpt.h"
#include "ui/SheetOptions.h"
#include "ui/webengine/WarmPlayer.h"

using namespace tonvela;
using namespace tonvela::test;

namespace {

// The colour the map gives from (from itself when unmapped), as the player draws it.
QColor Mapped(const CSwfTemplate& t, std::uint32_t from) {
    std::uint32_t to = from;
    for (const auto& [f, c] : t.ColourMap())
        if (f == from) to = c;
    return QColor(int(to & 0xFF), int(to >> 8 & 0xFF), int(to >> 16 & 0xFF));
}

bool Near(const QColor& p, const QColor& c) {
    return std::abs(p.red() - c.red()) <= 6 && std::abs(p.green() - c.green()) <= 6 && std::abs(p.blue() - c.blue()) <= 6;
}

int PixelsNear(const QImage& image, const QColor& c) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += Near(image.pixelColor(x, y), c) ? 1 : 0;
    return n;
}

// The smallest rectangle that holds every pixel of colour c (empty when there is none).
QRect BoundsOf(const QImage& image, const QColor& c) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Near(image.pixelColor(x, y), c)) box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

class TemplateColoursRuffleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        // Test-only: the web engine's sandbox does not start as root.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
        qputenv("TMPDIR", tmp_.path().toUtf8());
        qputenv("TONVELA_DATA_DIR", QByteArray::fromStdString(DataDir()));
        if (!QFile::exists(QString::fromStdString(DataDir()) + QStringLiteral("ruffle/ruffle.js")))
            QSKIP("the web player's files are not in the data folder");
        // As in the program: the first page starts the player, the later ones borrow it.
        CWarmPlayer::Prepare(&home_);
    }

    void symbolsVisible_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("button");  // COLORREF
        for (const QString& t : QDir(QString::fromStdString(DataDir()) + "ControlSWF").entryList({"*.swf"}, QDir::Files, QDir::Name))
            for (int colour : {0x0000FF, 0xFF0000}) {
                const QString rgb = colour == 0x0000FF ? "FF0000" : "0000FF";
                QTest::newRow(qPrintable(QFileInfo(t).completeBaseName() + "-" + rgb)) << QFileInfo(t).completeBaseName() << colour;
            }
    }
    void symbolsVisible() {
        QFETCH(QString, name);
        QFETCH(int, button);
        CConvertOptions s(DataDir());
        s.ControlSWF = DataDir() + "ControlSWF/" + name.toStdString() + ".swf";
        s.SWFBtnColor = button;
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

        // What the player must draw: the symbols in their mapped colour, apart from the button's,
        // on the buttons (the view around the movie is white, a symbol colour too); a face without
        // symbols (text, picture) something beside the background and the view.
        const TemplateKind kind = TemplateKindFromPath(s.ControlSWF);
        const bool symbols = kind != kKindText && kind != kKindJpeg;
        const QColor face(button & 0xFF, button >> 8 & 0xFF, button >> 16 & 0xFF), stage(0xD0, 0xE0, 0xF0);
        QColor symbol;
        if (symbols) {
            CSwfTemplate t;
            QVERIFY(t.Load(s.ControlSWF));
            if (kind == kKindTrack)
                BuildTrackColourMap(t, std::uint32_t(button), std::uint32_t(s.TrackSWFBkgTopColor),
                                    std::uint32_t(s.TrackSWFBkgBottomColor), std::uint32_t(s.TrackSWFBorderColor));
            else
                BuildButtonColourMap(t, kind, std::uint32_t(button));
            symbol = Mapped(t, kind == kKindTrack ? 0xE7E7E7 : 0xFFFFFF);
            QVERIFY2(symbol != face, qPrintable(symbol.name()));
        }
        // A play triangle and a stop square of a 28-pixel button cover well over 40 pixels; the
        // player draws them within moments, later on a busy machine.
        QImage shot;
        const bool drawn = QTest::qWaitFor(
            [&] {
                shot = flash->grab().toImage();
                if (symbols) {
                    const QRect buttons = BoundsOf(shot, face);
                    return !buttons.isEmpty() && PixelsNear(shot.copy(buttons), symbol) > 40;
                }
                int other = 0;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x) {
                        const QColor p = shot.pixelColor(x, y);
                        other += Near(p, stage) || Near(p, Qt::white) ? 0 : 1;
                    }
                return other > 40;
            },
            30000);
        QVERIFY(shot.save(ScreenshotDir() + QStringLiteral("/template-%1.png").arg(QTest::currentDataTag())));
        QVERIFY2(drawn, qPrintable(symbols ? symbol.name() : QStringLiteral("nothing drawn")));
    }

private:
    QTemporaryDir tmp_;
    // Stands for the main window, which keeps the one player that every preview borrows in turn.
    QWidget home_;
};

QTEST_MAIN(TemplateColoursRuffleTest)
#include "TemplateColoursRuffleTest.moc"
