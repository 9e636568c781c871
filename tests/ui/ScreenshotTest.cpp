// Screenshots of the main window, empty and with 20 files, saved under <build>/screenshots/: at
// the scale the program was started with, and again at 100 % and 200 % on a 1600 x 1000 screen
// by runs of this program of their own (the scale and the screen are fixed when the
// application starts).
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ui/ConvertProgressDlg.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/SortListCtrl.h"
#include "ui/TextViewerDlg.h"
#include "ui/Skin.h"
#include "UiTestUtil.h"

namespace tonvela::test {

class ScreenshotTest : public QObject {
    Q_OBJECT
public:
    explicit ScreenshotTest(qreal scale)
        : suffix_(scale == 1.0 ? QString() : QStringLiteral("-%1").arg(qRound(scale * 100))), scale_(scale) {}

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        qputenv("TONVELA_CONFIG_DIR", (home_.path() + QStringLiteral("/config")).toUtf8());
        ApplySkin(*qApp);
    }

    // Empty, then with 20 files of different formats: the window keeps its size in logical
    // pixels and is drawn at the screen's scale.
    void mainWindow() {
        CFakeDesktop::Log log;
        CMainDlg window(std::make_unique<CFakeDesktop>(log));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The whole window on the screen, at its first size where the screen has room for it.
        const QRect available = window.screen()->availableGeometry();
        QVERIFY2(available.contains(window.frameGeometry()), qPrintable(QStringLiteral("%1x%2 on %3x%4").arg(
            window.width()).arg(window.height()).arg(available.width()).arg(available.height())));
        const QSize first = QSize(CMainDlg::kWidth, CMainDlg::kHeight).boundedTo(available.size());
        QCOMPARE(window.size(), first);
        QPixmap empty = window.grab();
        QCOMPARE(empty.size(), QSize(qRound(first.width() * scale_), qRound(first.height() * scale_)));
        QVERIFY(SaveShot(empty, QStringLiteral("main-empty-hint%1.png").arg(suffix_)));

        // The About box, which names the licence.
        auto* about = window.findChild<QAction*>(QStringLiteral("about"));
        QVERIFY(about);
        QString aboutText;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                aboutText = box->text();
                SaveShot(box->grab(), QStringLiteral("about%1.png").arg(suffix_));
                box->accept();
            }
        });
        about->trigger();
        QVERIFY(aboutText.contains(QStringLiteral("GNU General Public License, version 3 or later")));
        for (const char* credit : {"LAME", "FFmpeg", "libopenmpt", "Ruffle", "Qt"})
            QVERIFY2(aboutText.contains(QLatin1String(credit)), credit);

        const int rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
        QStringList paths;
        for (int i = 0; i < 20; ++i) {
            const QString ext = i % 4 == 0 ? QStringLiteral("aiff") : i % 4 == 1 ? QStringLiteral("au")
                                                                                 : QStringLiteral("wav");
            const QString path = home_.path() + QStringLiteral("/track %1 - take %2.%3").arg(i + 1, 2, 10, QLatin1Char('0')).arg(i % 3 + 1).arg(ext);
            QVERIFY(MakeTone(path, 0.2 + i * 0.35, rates[i % 7], i % 5 == 4 ? 1 : 2, 16));
            paths << path;
        }
        window.AddCommandLinePaths(paths);
        QCOMPARE(window.Model().rowCount(), 20);
        window.Model().SetStatus(0, "track 01 - take 1.swf");
        window.Model().SetStatus(1, "Conversion Failure");
        QVERIFY(SaveShot(window.grab(), QStringLiteral("main-20-files%1.png").arg(suffix_)));
        if (!qEnvironmentVariableIsEmpty("TONVELA_SHOT_NAME"))
            QVERIFY(SaveShot(window.grab(), qEnvironmentVariable("TONVELA_SHOT_NAME")));

        // Another window active: the selected rows keep their text whole and in place; the
        // sort arrow leaves the column titles readable.
        window.List().SortByHeaderClick(kColumnBitRate);
        window.List().selectionModel()->select(window.Model().index(2, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window.List().selectionModel()->select(window.Model().index(3, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QWidget other;
        other.resize(200, 100);
        other.show();
        other.activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isActiveWindow(), 20000);
        QVERIFY(SaveShot(window.grab(), QStringLiteral("main-inactive-selected%1.png").arg(suffix_)));
        // The focus on a command button is plain to see.
        window.activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window.isActiveWindow(), 20000);
        window.findChild<QPushButton*>(QStringLiteral("addFilesButton"))->setFocus(Qt::TabFocusReason);
        QVERIFY(SaveShot(window.grab(), QStringLiteral("main-focus%1.png").arg(suffix_)));
        window.findChild<QPushButton*>(QStringLiteral("helpMenuButton"))->setFocus(Qt::TabFocusReason);
        QVERIFY(SaveShot(window.grab(), QStringLiteral("main-focus-help%1.png").arg(suffix_)));
    }

    // The progress windows, and the viewer of HTML code: read-only, the whole page.
    void smallWindows() {
        CProgressDlg progress(nullptr);
        progress.SetRange(20);
        for (int i = 0; i < 7; ++i) progress.Step();
        progress.SetText("[7/20] Adding file track 07 - take 1.wav...");
        progress.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        QVERIFY(SaveShot(progress.grab(), QStringLiteral("add-progress%1.png").arg(suffix_)));

        // A batch on eight jobs with three files running: the window has the three rows' room.
        CConvertProgressDlg converting(nullptr, 8);
        converting.setAttribute(Qt::WA_DeleteOnClose, false);
        converting.Open();
        BatchProgressView view;
        for (std::size_t i = 0; i < 3; ++i)
            view.running.push_back({i, "Converting track 0" + std::to_string(i + 1) + ".flac..." + std::to_string(40 - 10 * i) + "%", 400 - 100 * int(i)});
        view.overallText = "Converting 3 of 20 file(s) into SWF...";
        view.overallBar = 120;
        converting.ShowBatch(view);
        QVERIFY(QTest::qWaitForWindowExposed(&converting));
        QVERIFY(SaveShot(converting.grab(), QStringLiteral("convert-progress%1.png").arg(suffix_)));

        const QString page = home_.path() + QStringLiteral("/page.htm");
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html>\n<body>\n<embed src=\"song.swf\" width=\"100\" height=\"75\">\n</body>\n</html>\n");
        f.close();
        ShowTextViewer(page.toStdString(), nullptr);
        QWidget* viewer = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("textViewer")) viewer = w;
        QVERIFY(viewer);
        QVERIFY(viewer->findChild<QPlainTextEdit*>()->toPlainText().contains(QStringLiteral("song.swf")));
        QVERIFY(viewer->findChild<QPlainTextEdit*>()->isReadOnly());
        QVERIFY(SaveShot(viewer->grab(), QStringLiteral("html-viewer%1.png").arg(suffix_)));
        viewer->close();
    }

    // The same shots at 100 % and 200 % on a 1600 x 1000 screen, from runs of our own: at
    // 200 % the window (699 x 538 logical pixels) is higher than the screen and must fit it.
    void onScreen1600x1000_data() {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("shot");
        QTest::newRow("100 %") << "1" << "main-100.png";
        QTest::newRow("200 %") << "2" << "main-200.png";
    }
    void onScreen1600x1000() {
        if (!qEnvironmentVariableIsEmpty("TONVELA_SHOT_NAME")) QSKIP("this run is one of them");
        QFETCH(QString, scale);
        QFETCH(QString, shot);
        const QString config = home_.path() + QStringLiteral("/screen.json");
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1600, "height": 1000,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        f.close();
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
        env.insert(QStringLiteral("TONVELA_SHOT_NAME"), shot);
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        run.start(QCoreApplication::applicationFilePath(), {QStringLiteral("mainWindow"), QStringLiteral("smallWindows")});
        QVERIFY(run.waitForFinished(300000));
        QCOMPARE(run.exitCode(), 0);
        const QImage image(ScreenshotDir() + QLatin1Char('/') + shot);
        QVERIFY(!image.isNull());
        // Never beyond the screen's 1000 device pixels, whatever the scale.
        QVERIFY2(image.height() <= 1000 && image.width() <= 1600, qPrintable(QStringLiteral("%1 x %2").arg(
            image.width()).arg(image.height())));
    }

private:
    QString suffix_;
    qreal scale_;
    QTemporaryDir home_;
};

}  // namespace tonvela::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
    tonvela::test::ScreenshotTest test(scale);
    return QTest::qExec(&test, argc, argv);
}

#include "ScreenshotTest.moc"
