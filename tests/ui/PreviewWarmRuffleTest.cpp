// The warm player behind every preview: made ready while the main window is idle, it is lent to
// the Play SWF window twice and then to the options page (its page fetches Ruffle's WebAssembly
// once), a movie rewritten on disk is read again, a
// killed page process is reported in the window and the next preview plays, and movies whose
// paths are Latin-1 bytes (not valid UTF-8) preview, alone and as a shell-player pair.
// Screenshot of the message: <build>/screenshots/preview_ended.png.
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>
#include <csignal>
#include <filesystem>

#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/PlaySwfDlg.h"
#include "ui/SortListCtrl.h"
#include "ui/SheetOptions.h"
#include "ui/ShockwaveFlash.h"
#include "ui/webengine/WarmPlayer.h"

using namespace tonvela;

namespace {

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

QWebEngineView* ViewOf(const QWidget* flash) { return flash ? flash->findChild<QWebEngineView*>() : nullptr; }
QWebEngineView* Parked() { return CWarmPlayer::Parked(); }

// Frame width in pixels from an uncompressed SWF's RECT (MSB-first bit fields).
int SwfWidth(const std::filesystem::path& file) {
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray b = f.read(32);
    if (!b.startsWith("FWS")) return -1;
    qsizetype bit = 64;
    auto bits = [&](int n) {
        qint64 v = 0;
        for (int k = 0; k < n; ++k, ++bit) v = (v << 1) | ((uchar(b[bit / 8]) >> (7 - bit % 8)) & 1);
        return v;
    };
    const int n = int(bits(5));
    const qint64 xmin = bits(n), xmax = bits(n);
    return int((xmax - xmin) / 20);
}

// The AudioContexts the page has made since its last movie went (each holds a stream in the
// sound server while it lives); -1 when the page did not answer. A frozen page runs no script, so it is thawed for the question and frozen again.
int LiveAudio(QWebEnginePage* page) {
    const bool frozen = page->lifecycleState() == QWebEnginePage::LifecycleState::Frozen;
    if (frozen) page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    const QVariant n = Js(page, "tonvela.audio.length");
    if (frozen) page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    return n.isValid() ? n.toInt() : -1;
}

// Ruffle's WebAssembly downloads in the page since it was loaded (the browser's resource timing
// leaves out the preview's own scheme, so the page's fetch counts them).
int WasmFetches(QWebEngineView* view) { return Js(view->page(), "tonvela.wasmFetches").toInt(); }

// What the player read from the movie shown now; empty after the timeout.
QJsonObject WaitForMetadata(QWebEngineView* view) {
    QJsonObject m;
    (void)QTest::qWaitFor(
        [&] {
            m = QJsonDocument::fromJson(
                    Js(view->page(), "window.tonvela && tonvela.metadata ? JSON.stringify(tonvela.metadata) : ''")
                        .toString()
                        .toUtf8())
                    .object();
            return !m.isEmpty();
        },
        60000);
    return m;
}

}  // namespace

class PreviewWarmRuffleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void warmPlayerIsShared();
    void killedPageProcess();
    void latin1Paths_data();
    void latin1Paths();
    void signsOfAPreview_data();
    void signsOfAPreview();

private:
    QTemporaryDir tmp_;
    std::filesystem::path root_;
    // Stands for the main window in the tests that only need a player ready, as the program has.
    QWidget home_;
    std::string data_ = TONVELA_DATA_DIR "/";
};

void PreviewWarmRuffleTest::initTestCase() {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");  // the sandbox does not start as root
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", tmp_.path().toUtf8());
    qputenv("TONVELA_DATA_DIR", QByteArray(TONVELA_DATA_DIR));
    QVERIFY(tmp_.isValid());
    root_ = tmp_.path().toStdString();
    QVERIFY2(QFile::exists(QString::fromStdString(data_ + "ruffle/ruffle.js")), "no Ruffle in the data folder");
}

void PreviewWarmRuffleTest::warmPlayerIsShared() {
    QWidget main;
    main.resize(300, 200);
    main.show();
    CShockwaveFlash::SetHome(&main);
    QCoreApplication::processEvents();
    QVERIFY(!CWarmPlayer::Exists());  // nothing until a preview is coming
    CShockwaveFlash::PreviewComing();
    QTRY_VERIFY_WITH_TIMEOUT(CWarmPlayer::Parked() && CWarmPlayer::Parked()->Warmed(), 60000);
    CWarmPlayer* warm = CWarmPlayer::Parked();
    QCOMPARE(WasmFetches(warm), 1);
    // Parked: no sound stream (the warm-up made none), and the page does not tick.
    QTRY_VERIFY_WITH_TIMEOUT(warm->Frozen(), 20000);
    QCOMPARE(LiveAudio(warm->page()), 0);

    // Two previews of one path; the file is rewritten on disk between them.
    const std::string a = data_ + "ControlSWF/circle_plain_1.swf", b = data_ + "ControlSWF/use_a_jpeg_1.swf";
    QVERIFY(SwfWidth(a) > 0 && SwfWidth(b) > 0 && SwfWidth(a) != SwfWidth(b));
    const std::filesystem::path movie = root_ / "movie.swf";
    for (const std::string& source : {a, b}) {
        std::filesystem::copy_file(source, movie, std::filesystem::copy_options::overwrite_existing);
        CPlaySwfDlg dlg(QString::fromStdString(movie.string()), 0xFFFFFF, &main);
        QVERIFY(dlg.SetUp());
        QCOMPARE(ViewOf(dlg.Flash()), warm);
        QVERIFY(!Parked());
        dlg.show();
        QVERIFY(!warm->Frozen());
        QCOMPARE(WaitForMetadata(warm).value("width").toInt(), SwfWidth(source));
        QCOMPARE(LiveAudio(warm->page()), 1);
    }
    QCOMPARE(Parked(), warm);
    QTRY_VERIFY_WITH_TIMEOUT(warm->Frozen(), 20000);
    QCOMPARE(LiveAudio(warm->page()), 0);  // the preview's stream went with it

    // The options page's preview.
    CConvertOptions s(data_);
    s.ControlSWF = a;
    {
        CSheetOptions sheet(s, CSheetOptions::kSwfPage);
        auto* flash = sheet.findChild<CShockwaveFlash*>();
        QCOMPARE(ViewOf(flash), warm);
        sheet.show();
        QCOMPARE(WaitForMetadata(warm).value("width").toInt(), SwfWidth(a));
    }
    QCOMPARE(Parked(), warm);
    // Given back, the page shows no movie any more.
    QTRY_COMPARE_WITH_TIMEOUT(Js(warm->page(), "document.querySelectorAll('ruffle-player').length").toInt(), 0, 20000);
    QCOMPARE(WasmFetches(warm), 1);
}

void PreviewWarmRuffleTest::killedPageProcess() {
    const QString movie = QString::fromStdString(data_ + "ControlSWF/circle_plain_1.swf");
    CPlaySwfDlg dlg(movie, 0xFFFFFF, nullptr);
    QVERIFY(dlg.SetUp());
    QWebEngineView* view = ViewOf(dlg.Flash());
    QVERIFY(view);
    dlg.show();
    QVERIFY(!WaitForMetadata(view).isEmpty());
    QVERIFY(!dlg.findChild<QLabel*>(QStringLiteral("playerEnded")));
    const qint64 pid = view->page()->renderProcessPid();
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
    QPointer<QLabel> ended;
    QTRY_VERIFY_WITH_TIMEOUT((ended = dlg.findChild<QLabel*>(QStringLiteral("playerEnded"))) && ended->isVisible(), 20000);
    QVERIFY(!view->isVisible());
    QDir().mkpath(TONVELA_BINARY_DIR "/screenshots");
    dlg.grab().save(TONVELA_BINARY_DIR "/screenshots/preview_ended.png");

    // The next preview in the same window loads the page again and plays.
    QSignalSpy loaded(dlg.Flash(), &CShockwaveFlash::movieLoaded);
    dlg.Flash()->LoadMovie(0, movie);
    QVERIFY(loaded.wait(60000));
    QVERIFY(!ended && view->isVisible());
    QVERIFY(view->page()->renderProcessPid() != pid);
}

void PreviewWarmRuffleTest::latin1Paths_data() {
    QTest::addColumn<bool>("pair");
    QTest::newRow("movie") << false;
    QTest::newRow("shell-player pair") << true;
}

// Through the Play SWF command itself, with the entry's paths as bytes.
void PreviewWarmRuffleTest::latin1Paths() {
    QFETCH(bool, pair);
    const std::filesystem::path folder = root_ / std::string("dossier \xe9t\xe9");
    std::filesystem::create_directories(folder);
    CFileListEntry entry;
    entry.convertedSeconds = 2;
    std::string shown;  // the file whose header the player reads
    if (pair) {
        if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) QSKIP("sox is not installed");
        const QString wav = QString::fromStdString((root_ / "pair.wav").string());
        QCOMPARE(QProcess::execute("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", wav, "synth", "2", "sine", "440"}),
                 0);
        QCOMPARE(QProcess::execute(TONVELA_BINARY_DIR "/bin/tonvela-convert",
                                   {"-q", "--data-dir", QString::fromStdString(data_), "--config-dir",
                                    QString::fromStdString((root_ / "config").string()), "--set", "CreateCtrlSWF=1",
                                    "--set", "ButtonSWFType=22", "--set", "CreateHtmlFile=0", wav}),
                 0);
        entry.swfPath = (folder / "son \xe9t\xe9.swf").string();
        entry.playerSwfPath = (folder / "son \xe9t\xe9.player.swf").string();
        std::filesystem::copy_file(root_ / "pair.swf", entry.swfPath);
        std::filesystem::copy_file(root_ / "pair.player.swf", entry.playerSwfPath);
        shown = (root_ / "pair.player.swf").string();
    } else {
        shown = data_ + "ControlSWF/square_gradient_3.swf";
        entry.swfPath = (folder / "m\xfasica.swf").string();
        std::filesystem::copy_file(shown, entry.swfPath);
    }
    QVERIFY(QString::fromStdString(entry.swfPath).toStdString() != entry.swfPath);  // not UTF-8

    QJsonObject metadata;
    bool soundFetched = false, asked = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            asked = true;
            box->done(QMessageBox::No);
            return;
        }
        auto* dlg = qobject_cast<CPlaySwfDlg*>(modal);
        if (!dlg) return;
        poll.stop();
        QWebEngineView* view = ViewOf(dlg->Flash());
        metadata = WaitForMetadata(view);
        const qint64 size = qint64(std::filesystem::file_size(entry.swfPath));
        soundFetched = QTest::qWaitFor(
            [&] {
                return Js(view->page(), QStringLiteral("tonvela.fetched.some(f => f.status == 200 && f.bytes == %1 && "
                                                       "!f.url.includes('/ruffle/'))")
                                            .arg(size))
                    .toBool();
            },
            30000);
        dlg->grab().save(QStringLiteral(TONVELA_BINARY_DIR "/screenshots/preview_latin1_%1.png").arg(pair));
        dlg->done(0);
    });
    poll.start(20);
    CWarmPlayer::Prepare(&home_);  // the rows after the first borrow the player the first one started
    PlaySwf(entry, CConvertOptions(data_), nullptr);
    QVERIFY(!asked);
    QCOMPARE(metadata.value("width").toInt(), SwfWidth(shown));
    QVERIFY2(soundFetched, pair ? "the sound SWF was not served" : "the movie was not served whole");
}

void PreviewWarmRuffleTest::signsOfAPreview_data() {
    QTest::addColumn<QString>("sign");
    QTest::newRow("converted row selected") << "select";
    QTest::newRow("selected row converted") << "convert";
    QTest::newRow("pointer on Options") << "options";
    QTest::newRow("list menu with Play SWF") << "menu";
}

// The main window makes the player ready on a sign that a preview is coming, not before; a
// parked player nobody uses is released.
void PreviewWarmRuffleTest::signsOfAPreview() {
    QFETCH(QString, sign);
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) QSKIP("sox is not installed");
    const QString config = QString::fromStdString((root_ / "signs").string());
    QDir().mkpath(config);
    QFile conf(config + "/settings.conf");
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[Software\\Tonvela\\Options]\nFirstRun=dword:00000000\n");
    conf.close();
    qputenv("TONVELA_CONFIG_DIR", config.toUtf8());
    const QString wav = config + "/tone.wav";
    if (!QFile::exists(wav))
        QCOMPARE(QProcess::execute("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", wav, "synth", "1", "sine", "440"}), 0);

    // Whatever an earlier test parked goes first: released once its time is up.
    CWarmPlayer::SetReleaseDelay(0);
    QTRY_VERIFY_WITH_TIMEOUT(!CWarmPlayer::Exists(), 20000);
    CWarmPlayer::SetReleaseDelay(10 * 60 * 1000);

    CMainDlg w;
    CShockwaveFlash::SetHome(&w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.Model().AddFileEntry(wav.toStdString()), 0);
    w.List().SelectOnly(0);  // not converted yet: no sign
    w.UpdateListMenu();
    w.ListMenu()->popup(w.mapToGlobal(QPoint(50, 50)));  // Play SWF greyed: no sign
    w.ListMenu()->close();
    QCoreApplication::processEvents();
    QVERIFY(!CWarmPlayer::Exists());

    auto* options = w.findChild<QPushButton*>(QStringLiteral("optionsButton"));
    QVERIFY(options);
    if (sign == "select") {
        w.List().clearSelection();
        w.Model().Entry(0).swfPath = (root_ / "tone.swf").string();
        w.List().SelectOnly(0);
    } else if (sign == "convert") {
        w.Model().Entry(0).swfPath = (root_ / "tone.swf").string();
        w.Model().SetStatus(0, "Done");
    } else if (sign == "options") {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(options, &enter);
    } else {
        w.Model().Entry(0).swfPath = (root_ / "tone.swf").string();
        w.UpdateListMenu();
        w.ListMenu()->popup(w.mapToGlobal(QPoint(50, 50)));
        w.ListMenu()->close();
    }
    QTRY_VERIFY_WITH_TIMEOUT(CWarmPlayer::Parked() && CWarmPlayer::Parked()->Warmed(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(CWarmPlayer::Parked()->Frozen(), 20000);
    QCOMPARE(CWarmPlayer::Parked()->parentWidget(), &w);
    // Released after its time without use.
    CWarmPlayer::SetReleaseDelay(0);
    QTRY_VERIFY_WITH_TIMEOUT(!CWarmPlayer::Exists(), 20000);
    CWarmPlayer::SetReleaseDelay(5 * 60 * 1000);
}

QTEST_MAIN(PreviewWarmRuffleTest)
#include "PreviewWarmRuffleTest.moc"
