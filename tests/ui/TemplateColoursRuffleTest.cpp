// Every control template recoloured with saturated button colours (FF0000, 0000FF), shown in
// the SWF page's live preview by the real player: the player draws the play and stop symbols
// in their own colour, which stands apart from the button's. Screenshots go to
// <build>/screenshots/template-<name>-<colour>.png.
#include <QSignalSpy>
#include <QtTest>

#include "OptionsTestSupport.h"
#include "convert/ConvertOptions.h"
#include "swf/ColourMap.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateKind.h"
#include "ui/PageSWFOpt.h"
#include "ui/SheetOptions.h"

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

int PixelsNear(const QImage& image, const QColor& c) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) <= 6 && std::abs(p.green() - c.green()) <= 6 &&
                std::abs(p.blue() - c.blue()) <= 6)
                ++n;
        }
    return n;
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
        CSheetOptions sheet(s, CSheetOptions::kSwfPage);
        CPageSWFOpt* page = sheet.SwfPage();
        QVERIFY2(page->HasPreview(), "the player could not be created");
        auto* flash = sheet.findChild<CShockwaveFlash*>();
        QVERIFY(flash);
        QSignalSpy loaded(flash, &CShockwaveFlash::movieLoaded);
        sheet.show();
        QVERIFY(loaded.count() > 0 || loaded.wait(60000));
        QTest::qWait(1500);  // let the player draw a few frames
        const QImage shot = flash->grab().toImage();
        QVERIFY(shot.save(ScreenshotDir() + QStringLiteral("/template-%1.png").arg(QTest::currentDataTag())));

        const TemplateKind kind = TemplateKindFromPath(s.ControlSWF);
        if (kind == kKindText || kind == kKindJpeg) return;  // no symbols on a face
        CSwfTemplate t;
        QVERIFY(t.Load(s.ControlSWF));
        if (kind == kKindTrack)
            BuildTrackColourMap(t, std::uint32_t(button), std::uint32_t(s.TrackSWFBkgTopColor),
                                std::uint32_t(s.TrackSWFBkgBottomColor), std::uint32_t(s.TrackSWFBorderColor));
        else
            BuildButtonColourMap(t, kind, std::uint32_t(button));
        const QColor symbol = Mapped(t, kind == kKindTrack ? 0xE7E7E7 : 0xFFFFFF);
        const QColor face(button & 0xFF, button >> 8 & 0xFF, button >> 16 & 0xFF);
        QVERIFY2(symbol != face, qPrintable(symbol.name()));
        // A play triangle and a stop square of a 28-pixel button cover well over 40 pixels.
        QVERIFY2(PixelsNear(shot, symbol) > 40, qPrintable(symbol.name()));
    }

private:
    QTemporaryDir tmp_;
};

QTEST_MAIN(TemplateColoursRuffleTest)
#include "TemplateColoursRuffleTest.moc"
