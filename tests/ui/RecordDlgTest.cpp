// The recorder without a sound server: the failure messages, the enabling table of the ready
// state, an empty input list, the quality preset kept in tonvela.ini, and the keys: Enter does
// nothing, Esc is Cancel.
#include <QSignalSpy>
#include <QTest>

#include "RecordDlgTestUtil.h"
#include "platform/ProfileFile.h"

namespace tonvela {

class RecordDlgTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { test::CancelAnswers(); }

    void initTestCase() {
        QVERIFY(root_.isValid());
        test::IsolateEnvironment(root_);
        // No sound server: the client finds no socket and may not start a daemon of its own.
        QDir(root_.path()).mkpath(QStringLiteral("run"));
        QFile conf(root_.filePath(QStringLiteral("client.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("autospawn = no\n");
        conf.close();
        qputenv("PULSE_CLIENTCONFIG", QFile::encodeName(conf.fileName()));
        qputenv("PULSE_SERVER", QFile::encodeName(root_.filePath(QStringLiteral("run/no-such-socket"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root_.filePath(QStringLiteral("run"))));
    }

    void recordWithoutSoundCard() {
        CRecordDlg dlg;
        dlg.show();
        QCOMPARE(test::StatusText(dlg), QStringLiteral("Ready.  Length: 00:00.0"));
        QCOMPARE(test::EnabledControls(dlg), QStringLiteral("1000100"));
        QCOMPARE(test::Button(dlg, "playPause")->text(), QStringLiteral("&Play"));
        auto* devices = dlg.findChild<QComboBox*>(QStringLiteral("device"));
        QCOMPARE(devices->count(), 0);
        QVERIFY(!devices->isEnabled());

        QString message;
        test::AnswerMessage(&message);
        test::Button(dlg, "record")->click();
        QCOMPARE(message, QStringLiteral("Recording could not start: no sound input was found. Check that a microphone or "
                                         "other input is connected and enabled."));
        QCOMPARE(dlg.Recorder().GetState(), CRecorder::kReady);
        QVERIFY(!dlg.Recorder().HasTake());
        QCOMPARE(test::StatusText(dlg), QStringLiteral("Ready.  Length: 00:00.0"));
        QCOMPARE(test::EnabledControls(dlg), QStringLiteral("1000100"));
        // Nothing was made in the temporary folder, and nothing saved.
        QVERIFY(QDir(root_.filePath(QStringLiteral("tmp"))).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QVERIFY(dlg.SavedPath().empty());
    }

    void qualityFromProfile_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");
        QTest::newRow("missing") << QString() << QStringLiteral("Medium quality [Mono]");
        QTest::newRow("500") << QStringLiteral("500") << QStringLiteral("High quality [Mono]");
        QTest::newRow("200") << QStringLiteral("200") << QStringLiteral("Low quality [Stereo]");
        QTest::newRow("unknown") << QStringLiteral("450") << QStringLiteral("Medium quality [Mono]");
        QTest::newRow("not a number") << QStringLiteral("high") << QStringLiteral("Medium quality [Mono]");
    }
    // The preset comes from [Options] RecQuality; closing the dialog stores the one selected.
    void qualityFromProfile() {
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        CProfileFile profile(QFile::encodeName(root_.filePath(QStringLiteral("config"))).toStdString());
        QFile::remove(QString::fromStdString(profile.FilePath().string()));
        if (!saved.isEmpty()) QVERIFY(profile.WriteString("Options", "RecQuality", saved.toStdString()));

        CRecordDlg dlg;
        dlg.show();
        QComboBox* box = test::QualityBox(dlg);
        QCOMPARE(box->count(), 6);
        QCOMPARE(box->currentText(), shown);
        box->setCurrentIndex(5);
        QCOMPARE(box->currentText(), QStringLiteral("High quality [Stereo]"));
        test::Button(dlg, "cancel")->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(profile.GetInt("Options", "RecQuality", 0), 600);
    }

    // Enter does nothing and Convert to SWF without a recording leaves the dialog open; Esc is
    // Cancel (no question without a take), and so is the close box.
    void keys() {
        for (bool escape : {true, false}) {
            CRecordDlg dlg;
            QSignalSpy finished(&dlg, &QDialog::finished);
            dlg.show();
            QTest::keyClick(&dlg, Qt::Key_Return);
            QTest::keyClick(test::QualityBox(dlg), Qt::Key_Enter);
            test::Button(dlg, "convert")->click();  // disabled: no effect
            QVERIFY(dlg.isVisible());
            QCOMPARE(finished.count(), 0);
            if (escape)
                QTest::keyClick(&dlg, Qt::Key_Escape);
            else
                dlg.close();
            QCOMPARE(finished.count(), 1);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QVERIFY(!dlg.isVisible());
        }
    }

    // A take (from a sound server of the test's own, started last so the tests above have
    // none). The discard question answers No to Enter and Esc. Save As says where it saved in
    // the status line, with no box; Record over a saved take asks nothing; Convert to SWF
    // takes the saved file without asking for a name again. Only recording is in red.
    void savedTake() {
        if (!test::StartPulse(root_)) QSKIP("pulseaudio cannot start here");
        pulse_ = true;
        CRecordDlg dlg;
        dlg.show();
        auto* devices = dlg.findChild<QComboBox*>(QStringLiteral("device"));
        devices->setCurrentIndex(devices->findData(QByteArray("nullsrc")));
        QVERIFY(devices->currentIndex() >= 0);
        QCOMPARE(RedPixels(dlg), 0);
        QVERIFY(!test::StatusText(dlg).isEmpty());
        test::Button(dlg, "record")->click();
        QCOMPARE(dlg.Recorder().GetState(), CRecorder::kRecording);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.Recorder().TakeSeconds() >= 0.1, 20000);
        QVERIFY(RedPixels(dlg) > 20);
        Shot(dlg, "recorder-recording");
        test::Button(dlg, "stopRec")->click();
        QTRY_COMPARE(RedPixels(dlg), 0);

        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QMessageBox::StandardButton offered = QMessageBox::NoButton;
            test::WhenShown<QMessageBox>([&offered, key](QMessageBox* box) {
                offered = box->standardButton(box->defaultButton());
                QTest::keyClick(box, key);
            });
            test::Button(dlg, "cancel")->click();
            QCOMPARE(offered, QMessageBox::No);
            QVERIFY(dlg.isVisible());
            QVERIFY(dlg.Recorder().HasTake());
        }

        const QString saved = root_.filePath(QStringLiteral("home/take.wav"));
        test::AnswerSaveDialog(saved);
        test::Button(dlg, "saveAs")->click();
        QVERIFY(QFile::exists(saved));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("Saved as '%1'.").arg(saved));
        Shot(dlg, "recorder-saved");

        CModalCount boxes(false);
        test::Button(dlg, "record")->click();  // no question: the take is in its file
        QCOMPARE(dlg.Recorder().GetState(), CRecorder::kRecording);
        QVERIFY(dlg.findChild<QLabel*>(QStringLiteral("message"))->text().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(dlg.Recorder().TakeSeconds() >= 0.1, 20000);
        test::Button(dlg, "stopRec")->click();
        const QString second = root_.filePath(QStringLiteral("home/take 2.wav"));
        test::AnswerSaveDialog(second);
        test::Button(dlg, "saveAs")->click();
        QVERIFY(QFile::exists(second));
        QCOMPARE(boxes.Count(), 0);

        CModalCount dialogs(true);
        test::Button(dlg, "convert")->click();  // no save dialog: the saved file is the one
        QCOMPARE(dialogs.Count(), 0);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(dlg.SavedPath()), second);
        QCOMPARE(QDir(QFileInfo(saved).path()).entryList(QDir::Files), (QStringList{"take 2.wav", "take.wav"}));
    }

    void cleanupTestCase() {
        if (pulse_) QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("-k")});
    }

private:
    // <build>/screenshots/<name>[-200].png, to look at.
    static void Shot(QWidget& w, const char* name) {
        QDir().mkpath(QStringLiteral(TONVELA_BINARY_DIR "/screenshots"));
        const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
        w.grab().save(QStringLiteral(TONVELA_BINARY_DIR "/screenshots/%1%2.png")
                          .arg(QLatin1String(name), scale == 1.0 ? QString() : QStringLiteral("-%1").arg(qRound(scale * 100))));
    }

    // Pixels of the status text in the red of attention.
    static int RedPixels(CRecordDlg& dlg) {
        const QImage image = dlg.findChild<QLabel*>(QStringLiteral("status"))->grab().toImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 90 && c.blue() < 90;
            }
        return red;
    }

    // Counts and closes the message boxes (with any: every modal window) that open while it
    // lives, so that one that should not have come fails the test instead of hanging it.
    class CModalCount {
    public:
        explicit CModalCount(bool any) {
            QObject::connect(&timer_, &QTimer::timeout, [this, any] {
                QWidget* w = QApplication::activeModalWidget();
                if (!w || seen_.contains(w) || (!any && !qobject_cast<QMessageBox*>(w))) return;
                seen_ << w;
                if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->done(QMessageBox::No);
            });
            timer_.start(5);
        }
        int Count() const { return int(seen_.size()); }

    private:
        QTimer timer_;
        QList<QPointer<QWidget>> seen_;
    };

    QTemporaryDir root_;
    bool pulse_ = false;
};

}  // namespace tonvela

QTEST_MAIN(tonvela::RecordDlgTest)
#include "RecordDlgTest.moc"
