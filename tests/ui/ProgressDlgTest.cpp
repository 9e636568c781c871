// The two progress windows: Enter and Esc do nothing, Cancel only sets the flag (the window
// stays until its owner closes it), the face drags the window, and Cancel reaches a look at a
// file that runs aside.
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <atomic>

#include "audio/FfmpegStream.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/ProgressDlg.h"

using namespace tonvela;

class ProgressDlgTest : public QObject {
    Q_OBJECT

private slots:
    void keysAndCancel_data() {
        QTest::addColumn<bool>("convert");  // the conversion's window, else the add window
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("cancels");
        for (bool convert : {true, false}) {
            const char* w = convert ? "convert" : "add";
            QTest::addRow("%s: Esc", w) << convert << int(Qt::Key_Escape) << false;
            QTest::addRow("%s: Enter", w) << convert << int(Qt::Key_Return) << false;
            QTest::addRow("%s: keypad Enter", w) << convert << int(Qt::Key_Enter) << false;
            QTest::addRow("%s: Space on Cancel", w) << convert << int(Qt::Key_Space) << true;
        }
    }
    void keysAndCancel() {
        QFETCH(bool, convert);
        QFETCH(int, key);
        QFETCH(bool, cancels);
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        std::unique_ptr<CConvertProgressDlg> convertDlg;
        std::unique_ptr<CProgressDlg> addDlg;
        QWidget* dlg;
        QPushButton* cancel;
        if (convert) {
            convertDlg = std::make_unique<CConvertProgressDlg>(&owner);
            convertDlg->setAttribute(Qt::WA_DeleteOnClose, false);  // the test owns it
            convertDlg->Open();
            dlg = convertDlg.get();
            cancel = convertDlg->CancelButton();
        } else {
            addDlg = std::make_unique<CProgressDlg>(&owner);
            addDlg->Open();
            dlg = addDlg.get();
            cancel = addDlg->CancelButton();
        }
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QApplication::setActiveWindow(dlg);
        cancel->setFocus();
        QTest::keyClick(dlg->focusWidget() ? dlg->focusWidget() : dlg, static_cast<Qt::Key>(key));
        QTest::keyClick(dlg, static_cast<Qt::Key>(key));
        QTest::qWait(20);
        QVERIFY(dlg->isVisible());
        QCOMPARE(convert ? convertDlg->CancelRequested() : addDlg->IsCancelled(), cancels);
        // A click on Cancel: the flag, and the window still there.
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(dlg->isVisible());
        QVERIFY(convert ? convertDlg->CancelRequested() : addDlg->IsCancelled());
    }

    // Running files fill the rows from the top; a free row shows neither line nor bar. The
    // window opens at the one-file size whatever the rows, grows to the most rows in use, and
    // keeps its size as files come and go.
    void freeRowsShowNothing_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("running");  // how many run, view after view
        QTest::newRow("one row") << 1 << QList<int>{0, 1, 0, 1, 0};
        QTest::newRow("two rows, the last file alone") << 2 << QList<int>{0, 2, 1, 2, 1, 0};
        QTest::newRow("three rows") << 3 << QList<int>{3, 2, 1, 3, 0};
        QTest::newRow("eight rows, filling up") << 8 << QList<int>{1, 2, 5, 4, 8, 3, 0};
    }
    void freeRowsShowNothing() {
        QFETCH(int, rows);
        QFETCH(QList<int>, running);
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        CConvertProgressDlg dlg(&owner, rows);
        dlg.setAttribute(Qt::WA_DeleteOnClose, false);
        dlg.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QSize size = dlg.size();
        {
            CConvertProgressDlg one(&owner, 1);
            QCOMPARE(size, one.size());
        }
        for (int r = 0; r < rows; ++r) QVERIFY(!dlg.FileShown(r));
        int most = 1;
        for (int n : running) {
            BatchProgressView view;
            view.total = 9;
            for (int i = 0; i < n; ++i)
                view.running.push_back({static_cast<std::size_t>(i), "Converting f" + std::to_string(i) + ".wav...40%", 400});
            dlg.ShowBatch(view);
            QApplication::processEvents();
            for (int r = 0; r < rows; ++r) {
                QCOMPARE(dlg.FileShown(r), r < n);
                QCOMPARE(dlg.FileText(r).isEmpty(), r >= n);
                QCOMPARE(dlg.FilePos(r), r < n ? 400 : 0);
                auto* bar = dlg.findChild<QProgressBar*>(r == 0 ? QStringLiteral("fileBar") : QStringLiteral("fileBar%1").arg(r));
                QVERIFY(bar);
                QCOMPARE(bar->isVisible(), r < n);
            }
            if (n > most) {
                QVERIFY(dlg.height() > size.height());
                QCOMPARE(dlg.width(), size.width());
                size = dlg.size();
                most = n;
            }
            QCOMPARE(dlg.size(), size);
        }
    }

    // Pressing on the face and moving drags the window (here without a window manager, so
    // the window follows the mouse itself); a press on the button does not.
    void dragsFromItsFace() {
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        CConvertProgressDlg dlg(&owner);
        dlg.setAttribute(Qt::WA_DeleteOnClose, false);
        dlg.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QPoint start = dlg.pos();
        const QPoint face(dlg.width() - 8, dlg.height() - 8);
        QTest::mousePress(&dlg, Qt::LeftButton, {}, face);
        QMouseEvent move(QEvent::MouseMove, QPointF(face + QPoint(40, 25)), QPointF(dlg.mapToGlobal(face + QPoint(40, 25))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &move);
        QTest::mouseRelease(&dlg, Qt::LeftButton, {}, face + QPoint(40, 25));
        QCOMPARE(dlg.pos(), start + QPoint(40, 25));
        QVERIFY(!dlg.CancelRequested());
    }

    // A look at a file runs aside: the add window takes a Cancel click meanwhile, and the click
    // makes the decoding library give up the file it is opening. The look opens an ffmpeg-made
    // file over and over until one open fails, for at most five seconds.
    void cancelReachesALookAside() {
        QTemporaryDir dir;
        const QString ogg = dir.filePath(QStringLiteral("tone.ogg"));
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1",
                                                              "-c:a", "libvorbis", ogg}),
                 0);
        const std::string path = QFile::encodeName(ogg).toStdString();
        QWidget owner;
        owner.resize(600, 400);
        owner.show();
        CProgressDlg dlg(&owner);
        dlg.Open();
        // The click comes once the look has opened the file at least once.
        std::atomic<int> opened{0};
        bool clicked = false;
        QTimer clicker;
        connect(&clicker, &QTimer::timeout, &dlg, [&] {
            if (clicked || opened.load() == 0) return;
            QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
            clicked = true;
        });
        clicker.start(10);
        bool gaveUp = false;
        QElapsedTimer clock;
        clock.start();
        dlg.RunAside([&] {
            while (!gaveUp && clock.elapsed() < 5000) {
                gaveUp = CFfmpegStream::Open(path) == nullptr;
                if (!gaveUp) ++opened;
            }
        });
        QVERIFY(clicked);
        QVERIFY(dlg.IsCancelled());
        QVERIFY2(gaveUp, qPrintable(QStringLiteral("%1 opens").arg(opened.load())));
        // The look over, the library no longer gives up.
        QVERIFY(CFfmpegStream::Open(path) != nullptr);
    }
};

QTEST_MAIN(ProgressDlgTest)
#include "ProgressDlgTest.moc"
