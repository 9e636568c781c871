// The preview in the Ruffle web player: movies written by tonvela-convert (streaming, event,
// with controls, shell-player pair) load, and what Ruffle read from them (through
// runJavaScript) equals their header read here byte by byte; the pair's player fetches its
// sound SWF through the query; the page reaches nothing but its movie files; loading the same
// path again shows the file as it is now. Screenshots of the window with two control templates
// (one with a running time display, the picture one) go to <build>/screenshots/; every template
// playing in the same player is pictured by the template player script.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include "SwfFacts.h"
#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "ui/PlaySwfDlg.h"
#include "ui/ShockwaveFlash.h"
#include "ui/webengine/WarmPlayer.h"

using namespace tonvela;
using tonvela::test::ReadSwfFacts;
using tonvela::test::SwfFacts;

namespace {

// Runs a script in the page and waits for its value.
QVariant Js(QWebEnginePage* page, const QString& script) {
    QVariant out;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& v) {
        out = v;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return out;
}

QWebEnginePage* PageOf(CShockwaveFlash* flash) {
    auto* view = flash ? flash->findChild<QWebEngineView*>() : nullptr;
    return view ? view->page() : nullptr;
}

// Ruffle's metadata of the movie shown, once it has read it (empty after the timeout).
QJsonObject WaitForMetadata(CShockwaveFlash* flash, int loads = 1) {
    QJsonObject m;
    (void)QTest::qWaitFor(
        [&] {
            const QString json = Js(PageOf(flash), QStringLiteral("window.tonvela && tonvela.loads >= %1 && "
                                                                  "tonvela.metadata ? JSON.stringify(tonvela.metadata) : ''")
                                                       .arg(loads))
                                     .toString();
            m = QJsonDocument::fromJson(json.toUtf8()).object();
            return !m.isEmpty();
        },
        60000);
    return m;
}

}  // namespace

class PreviewRuffleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void metadata_data();
    void metadata();
    void pageReachesOnlyItsMovie();
    void reloadSamePath();
    void escapeCloses();
    void screenshots_data();
    void screenshots();

private:
    // Converts the test tone with these settings; the --json line of the entry.
    QJsonObject Convert(const QString& name, const QStringList& sets);

    QTemporaryDir tmp_;
    QString data_ = QStringLiteral(TONVELA_DATA_DIR);
    // Stands for the main window, which keeps the one player that every preview borrows in turn.
    QWidget home_;
};

void PreviewRuffleTest::initTestCase() {
    // Test-only: the web engine's sandbox does not start as root.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
    qputenv("TONVELA_DATA_DIR", data_.toUtf8());
    QVERIFY(tmp_.isValid());
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) QSKIP("sox is not installed");
    QVERIFY2(QFile::exists(data_ + "/ruffle/ruffle.js"), "Ruffle's files are not in the data folder");
    // As in the program: the first preview starts the player, the later ones borrow it.
    CWarmPlayer::Prepare(&home_);
    QCOMPARE(QProcess::execute(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "1", "-b", "16",
                                                      tmp_.filePath("tone.wav"), "synth", "2", "sine", "440"}),
             0);
}

QJsonObject PreviewRuffleTest::Convert(const QString& name, const QStringList& sets) {
    const QString dir = tmp_.filePath(name);
    QDir().mkpath(dir);
    QFile::copy(tmp_.filePath("tone.wav"), dir + "/" + name + ".wav");
    QStringList args{"--data-dir", data_, "--config-dir", tmp_.filePath("config"), "-q", "--json"};
    for (const QString& s : sets) args << "--set" << s;
    args << dir + "/" + name + ".wav";
    QProcess p;
    p.start(QStringLiteral(TONVELA_BINARY_DIR "/bin/tonvela-convert"), args);
    p.waitForFinished(60000);
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    if (p.exitCode() != 0 || !o.value("ok").toBool()) qWarning() << p.readAllStandardError();
    return o;
}

void PreviewRuffleTest::metadata_data() {
    QTest::addColumn<QStringList>("sets");
    const QString bg = QStringLiteral("SWFBkgColor=0x336699");
    QTest::newRow("streaming") << QStringList{"CreateCtrlSWF=0", "SWFSoundType=10", "SWFFrameRate=24", bg};
    QTest::newRow("event") << QStringList{"CreateCtrlSWF=0", "SWFSoundType=20", bg};
    QTest::newRow("controls") << QStringList{"CreateCtrlSWF=1", "ButtonSWFType=11", "SWFFrameRate=15",
                                             "ControlSWF=" + data_ + "/ControlSWF/square_gradient_time_3.swf", bg};
    QTest::newRow("shell-player pair") << QStringList{
        "CreateCtrlSWF=1", "ButtonSWFType=22", "SWFInitPlay=1",
        "ShellPlayerSWF=" + data_ + "/ControlSWF/ShellPlayer/track_time_1.swf", bg};
    // Hidden names (".intro.wav" gives ".intro.swf"): a URL cannot carry them as they are.
    QTest::newRow(".hidden movie") << QStringList{"CreateCtrlSWF=1", "ButtonSWFType=11", bg};
    QTest::newRow(".hidden shell-player pair") << QStringList{
        "CreateCtrlSWF=1", "ButtonSWFType=22", "SWFInitPlay=1",
        "ShellPlayerSWF=" + data_ + "/ControlSWF/ShellPlayer/track_time_1.swf", bg};
}

void PreviewRuffleTest::metadata() {
    QFETCH(QStringList, sets);
    const QJsonObject out = Convert(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'), sets);
    QVERIFY2(out.value("ok").toBool(), qPrintable(QJsonDocument(out).toJson()));
    CFileListEntry entry;
    entry.swfPath = out.value("swf").toString().toStdString();
    entry.playerSwfPath = out.value("player").toString().toStdString();
    entry.convertedSeconds = 2;
    CConvertOptions settings;
    const QString shown = QString::fromStdString(entry.playerSwfPath.empty() ? entry.swfPath : entry.playerSwfPath);
    const std::optional<SwfFacts> facts = ReadSwfFacts(shown);
    QVERIFY(facts);

    CPlaySwfDlg dlg(QString::fromStdString(PlaySwfMovieReference(entry, settings)), 0x336699, nullptr);
    QVERIFY(dlg.SetUp());
    QSignalSpy loaded(dlg.Flash(), &CShockwaveFlash::movieLoaded);
    QElapsedTimer clock;
    clock.start();
    dlg.show();
    const QJsonObject m = WaitForMetadata(dlg.Flash());
    QVERIFY2(!m.isEmpty(), qPrintable(Js(PageOf(dlg.Flash()), "JSON.stringify(tonvela)").toString()));
    qInfo() << "loaded after" << clock.elapsed() << "ms";
    QCOMPARE(m.value("width").toInt(), facts->width);
    QCOMPARE(m.value("height").toInt(), facts->height);
    QCOMPARE(m.value("numFrames").toInt(), facts->frames);
    QCOMPARE(m.value("frameRate").toDouble(), facts->frameRate);
    QCOMPARE(m.value("backgroundColor").toString().toUpper(), facts->background);
    // The window takes the movie's size from its header; a movie without a picture (1 x 1)
    // gets the placeholder's wide strip.
    if (facts->width >= 16 && facts->height >= 16)
        QCOMPARE(dlg.Flash()->size(), QSize(facts->width, facts->height));
    else
        QVERIFY(dlg.Flash()->width() > 200 && dlg.Flash()->height() > 30);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 20000);
    QCOMPARE(loaded.first().first().toMap().value("width").toInt(), facts->width);
    QDir().mkpath(TONVELA_BINARY_DIR "/screenshots");
    dlg.grab().save(QStringLiteral(TONVELA_BINARY_DIR "/screenshots/preview_%1.png")
                        .arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_')));

    if (!entry.playerSwfPath.empty()) {
        // The shell player fetched its sound SWF, whole, through the query (a hidden one under
        // a name of the preview's own).
        const qint64 size = QFileInfo(QString::fromStdString(entry.swfPath)).size();
        QString sound = QUrl::toPercentEncoding(QFileInfo(QString::fromStdString(entry.swfPath)).fileName());
        if (sound.startsWith('.')) sound = ".sound.swf";
        QVERIFY2(QTest::qWaitFor(
            [&] {
                return Js(PageOf(dlg.Flash()),
                          QStringLiteral("tonvela.fetched.some(f => f.url.endsWith('/%1') && f.status == 200 && "
                                         "f.bytes == %2)")
                              .arg(sound)
                              .arg(size))
                    .toBool();
            },
            30000), qPrintable(Js(PageOf(dlg.Flash()), "JSON.stringify(tonvela.fetched)").toString()));
    }
}

void PreviewRuffleTest::pageReachesOnlyItsMovie() {
    const QJsonObject out = Convert("reach", {"CreateCtrlSWF=1", "ButtonSWFType=11"});
    QVERIFY(out.value("ok").toBool());
    const QString swf = out.value("swf").toString();
    QFile secret(QFileInfo(swf).dir().filePath("secret.txt"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("not for the page");
    secret.close();
    QWidget host;
    host.resize(400, 200);
    std::unique_ptr<CShockwaveFlash> flash = CShockwaveFlash::Create(&host);
    QVERIFY(flash);
    flash->LoadMovie(0, swf);
    host.show();
    QVERIFY(!WaitForMetadata(flash.get()).isEmpty());
    // The movie itself (the probe works), then a file beside it, the same through an encoded
    // "/", a file URL, and a way out of the player's folder.
    Js(PageOf(flash.get()), R"(
        window.probe = null;
        const movie = tonvela.fetched.find(f => f.url.includes("/movie/")).url;
        const base = new URL(".", movie).href;
        Promise.all([movie, base + "secret.txt", base + "x%2F..%2Fsecret.txt", "file:///etc/hostname",
                     "tonvela-preview://player/ruffle/..%2F..%2F..%2F..%2Fetc%2Fhostname"]
                    .map(u => fetch(u).then(r => r.status, e => "refused")))
          .then(v => { window.probe = v; });)");
    QVariant probe;
    QVERIFY(QTest::qWaitFor([&] { return !(probe = Js(PageOf(flash.get()), "window.probe")).isNull(); }, 10000));
    QCOMPARE(probe.toList(), (QVariantList{200, "refused", "refused", "refused", "refused"}));
}

void PreviewRuffleTest::reloadSamePath() {
    // The options page rewrites its preview file and loads the same path again.
    const QString a = data_ + "/ControlSWF/circle_plain_1.swf", b = data_ + "/ControlSWF/use_a_jpeg_1.swf";
    const std::optional<SwfFacts> fa = ReadSwfFacts(a), fb = ReadSwfFacts(b);
    QVERIFY(fa && fb && fa->width != fb->width);
    const QString path = tmp_.filePath("preview.swf");
    QVERIFY(QFile::copy(a, path));
    QWidget host;
    host.resize(600, 400);
    std::unique_ptr<CShockwaveFlash> flash = CShockwaveFlash::Create(&host);
    QVERIFY(flash);
    flash->resize(host.size());
    flash->SetMenu(false);
    flash->LoadMovie(0, path);
    flash->SetBGColor("#FF0000");
    host.show();
    QCOMPARE(WaitForMetadata(flash.get()).value("width").toInt(), fa->width);
    QVERIFY(QFile::remove(path) && QFile::copy(b, path));
    flash->LoadMovie(0, path);
    QCOMPARE(WaitForMetadata(flash.get(), 2).value("width").toInt(), fb->width);
    // The background colour given replaces the movie's own around and behind the picture.
    const bool red = QTest::qWaitFor([&] { return flash->grab().toImage().pixelColor(2, 2) == QColor(255, 0, 0); }, 10000);
    flash->grab().save(TONVELA_BINARY_DIR "/screenshots/preview_reload.png");
    QVERIFY(red);
    flash->SetBGColor("#0000FF");
    QVERIFY(QTest::qWaitFor([&] { return flash->grab().toImage().pixelColor(2, 2) == QColor(0, 0, 255); }, 30000));
}

// Esc closes the Play SWF window with the focus inside the player's web view, where the page
// would take the key.
void PreviewRuffleTest::escapeCloses() {
    CPlaySwfDlg dlg(data_ + "/ControlSWF/circle_plain_1.swf", 0xFFFFFF, nullptr);
    QVERIFY(dlg.SetUp());
    dlg.show();
    QVERIFY(!WaitForMetadata(dlg.Flash()).isEmpty());
    dlg.activateWindow();
    dlg.Flash()->setFocus();
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus && focus->window() == &dlg);
    QTest::keyClick(focus, Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void PreviewRuffleTest::screenshots_data() {
    QTest::addColumn<QString>("templateName");
    // The window shows every movie the same way; these two stand for the rest.
    for (const char* t : {"square_gradient_time_3.swf", "use_a_jpeg_1.swf"}) QTest::newRow(t) << QString::fromLatin1(t);
}

void PreviewRuffleTest::screenshots() {
    QFETCH(QString, templateName);
    const QString stem = QFileInfo(templateName).completeBaseName();
    const QJsonObject out = Convert("shot_" + stem, {"CreateCtrlSWF=1", "ButtonSWFType=11", "SWFBkgColor=0xF0E0D0",
                                                      "ControlSWF=" + data_ + "/ControlSWF/" + templateName,
                                                      "JPEGFile=" + data_ + "/sample.jpg"});
    QVERIFY2(out.value("ok").toBool(), qPrintable(QJsonDocument(out).toJson()));
    CFileListEntry entry;
    entry.swfPath = out.value("swf").toString().toStdString();
    CConvertOptions settings;
    settings.SWFBkgColor = 0xF0E0D0;
    CPlaySwfDlg dlg(QString::fromStdString(PlaySwfMovieReference(entry, settings)), 0xF0E0D0, nullptr);
    QVERIFY(dlg.SetUp());
    dlg.show();
    QVERIFY(!WaitForMetadata(dlg.Flash()).isEmpty());
    // Something beside the background is drawn: the controls.
    QImage shot;
    QVERIFY(QTest::qWaitFor(
        [&] {
            shot = dlg.grab().toImage();
            const QImage movie = dlg.Flash()->grab().toImage();
            for (int y = 0; y < movie.height(); ++y)
                for (int x = 0; x < movie.width(); ++x)
                    if (movie.pixelColor(x, y) != QColor(0xD0, 0xE0, 0xF0)) return true;
            return false;
        },
        20000));
    QDir().mkpath(TONVELA_BINARY_DIR "/screenshots");
    QVERIFY(shot.save(QStringLiteral(TONVELA_BINARY_DIR "/screenshots/preview_%1.png").arg(stem)));
}

QTEST_MAIN(PreviewRuffleTest)
#include "PreviewRuffleTest.moc"
