// The recorder against a PulseAudio daemon of the test's own (a null sink and a clocked null
// source): a recording's format and length read back by sox, the tail captured before Stop Rec,
// playback with pause and stop, the abandon question, Convert to SWF, a disk that fills up while
// recording and a sound server that goes away. Screenshots while recording and while playing.
#include <sys/resource.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <memory>

#include "RecordDlgTestUtil.h"
#include "ui/Skin.h"

namespace tonvela {

namespace {

// soxi's answer for one option (-r rate, -c channels, -b bits, -D seconds, -s samples); empty on failure.
QString Soxi(const QString& option, const QString& path) {
    QProcess p;
    p.start(QStringLiteral("soxi"), {option, path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Open descriptors of this process that lead into folder (an unnamed temporary file shows as
// "folder/#123 (deleted)").
int DescriptorsInto(const QString& folder) {
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(folder + QLatin1Char('/'))) ++n;
    return n;
}

void Shot(QWidget& w, const char* name) {
    QDir().mkpath(QStringLiteral(TONVELA_BINARY_DIR "/screenshots"));
    QVERIFY(w.grab().save(QStringLiteral(TONVELA_BINARY_DIR "/screenshots/") + QLatin1String(name)));
}

}  // namespace

class RecordDlgPulseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        test::IsolateEnvironment(root_);
        tmp_ = root_.filePath(QStringLiteral("tmp"));
        const QString run = root_.filePath(QStringLiteral("run"));
        QDir().mkpath(run);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
        qunsetenv("PULSE_SERVER");
        // A clocked source with a short latency hands over data every few tens of milliseconds.
        const int rc = QProcess::execute(
            QStringLiteral("pulseaudio"),
            {QStringLiteral("-D"), QStringLiteral("--exit-idle-time=10"),
             QStringLiteral("-n"), QStringLiteral("--use-pid-file=yes"),
             QStringLiteral("--load=module-null-sink sink_name=null"),
             QStringLiteral("--load=module-null-source source_name=nullsrc max_latency_msec=50"),
             QStringLiteral("--load=module-native-protocol-unix")});
        if (rc != 0) QSKIP("pulseaudio cannot be started here");
        started_ = true;
        if (QMediaDevices::defaultAudioInput().id() != "nullsrc" || QMediaDevices::defaultAudioOutput().isNull())
            QSKIP("the test's sound server is not the one Qt Multimedia uses");
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) ApplySkin(*app);
    }

    void cleanupTestCase() {
        dlg_.reset();
        if (started_) QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("-k")});
    }

    // About 3.5 s at "High quality [Stereo]": the status counts whole seconds, the file holds all
    // of it (the part after the last full buffer too), as 44100 Hz 16-bit stereo.
    void recordHighStereo() {
        dlg_ = std::make_unique<CRecordDlg>();
        dlg_->show();
        test::QualityBox(*dlg_)->setCurrentIndex(test::QualityBox(*dlg_)->findText(QStringLiteral("High quality [Stereo]")));
        QElapsedTimer clock;
        clock.start();
        test::Button(*dlg_, "record")->click();
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kRecording));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("0100000"));
        QTRY_COMPARE_WITH_TIMEOUT(test::StatusText(*dlg_), QStringLiteral("Recording...  00:02"), 4000);
        Shot(*dlg_, "recorder-recording.png");
        QTRY_COMPARE_WITH_TIMEOUT(test::StatusText(*dlg_), QStringLiteral("Recording...  00:03"), 2000);
        QTest::qWait(500);  // half a second after the last full buffer
        const double elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
        test::Button(*dlg_, "stopRec")->click();
        const double end = static_cast<double>(clock.elapsed()) / 1000.0;
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));
        QCOMPARE(test::StatusText(*dlg_), QStringLiteral("Ready.  Length: 00:03"));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1010111"));
        // While it lived the recording had no name in the temporary folder.
        QVERIFY(QDir(tmp_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

        saved_ = root_.filePath(QStringLiteral("home/first.wav"));
        QString message;
        test::AnswerSaveDialog(saved_);
        test::AnswerMessage(&message);
        test::Button(*dlg_, "saveAs")->click();
        QCOMPARE(message, QStringLiteral("Successfully save recorded file as '%1'.").arg(saved_));
        QCOMPARE(Soxi(QStringLiteral("-r"), saved_), QStringLiteral("44100"));
        QCOMPARE(Soxi(QStringLiteral("-c"), saved_), QStringLiteral("2"));
        QCOMPARE(Soxi(QStringLiteral("-b"), saved_), QStringLiteral("16"));
        // The source hands over data every 50 ms or so: the file's length is the time between
        // the two clicks within that. Keeping only full (1 s) buffers would give 3.0 s.
        const double seconds = Soxi(QStringLiteral("-D"), saved_).toDouble();
        QVERIFY2(seconds > elapsed - 0.25 && seconds < end + 0.25,
                 qPrintable(QStringLiteral("recorded %1 s in %2..%3 s").arg(seconds).arg(elapsed).arg(end)));
    }

    // Play, Pause (the position holds), Play again, Stop; then play to the end on its own.
    void playPauseStop() {
        QPushButton* play = test::Button(*dlg_, "playPause");
        play->click();
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kPlaying));
        QCOMPARE(play->text(), QStringLiteral("&Pause"));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1011111"));
        QTRY_COMPARE_WITH_TIMEOUT(test::StatusText(*dlg_), QStringLiteral("Playing...  00:01 / 00:03"), 2500);
        Shot(*dlg_, "recorder-playing.png");
        play->click();
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kPaused));
        QCOMPARE(play->text(), QStringLiteral("&Play"));
        QCOMPARE(test::StatusText(*dlg_), QStringLiteral("Paused  00:01 / 00:03"));
        QTest::qWait(2200);
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kPaused));
        QCOMPARE(test::StatusText(*dlg_), QStringLiteral("Paused  00:01 / 00:03"));
        play->click();
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kPlaying));
        test::Button(*dlg_, "stop")->click();
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));
        QCOMPARE(test::StatusText(*dlg_), QStringLiteral("Ready.  Length: 00:03"));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1010111"));

        // Played to its end the dialog is ready again; the played time never passes the length.
        play->click();
        QElapsedTimer clock;
        clock.start();
        QStringList seen;
        while (dlg_->GetState() == CRecordDlg::kPlaying && clock.elapsed() < 8000) {
            if (!seen.contains(test::StatusText(*dlg_))) seen << test::StatusText(*dlg_);
            QTest::qWait(50);
        }
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));
        QVERIFY2(clock.elapsed() > 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(seen.last(), QStringLiteral("Playing...  00:03 / 00:03"));
    }

    // Record over a recording asks first; No keeps it.
    void abandonQuestion() {
        QString question;
        test::AnswerMessage(&question, QMessageBox::No);
        test::Button(*dlg_, "record")->click();
        QCOMPARE(question, QStringLiteral("Are you sure you want to abandon the previous recording sound then re-record?"));
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));
        QCOMPARE(dlg_->GetRecordedLength(), 3u);
    }

    // Cancelling the save dialog keeps the recorder open; choosing a name saves and accepts.
    void convertToSwf() {
        test::AnswerSaveDialog(QString());
        test::Button(*dlg_, "convert")->click();
        QVERIFY(dlg_->isVisible());
        QVERIFY(dlg_->SavedPath().empty());

        const QString target = root_.filePath(QStringLiteral("home/for-swf"));  // ".wav" is added
        test::AnswerSaveDialog(target);
        test::Button(*dlg_, "convert")->click();
        QCOMPARE(dlg_->result(), int(QDialog::Accepted));
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(QString::fromStdString(dlg_->SavedPath()), target + QStringLiteral(".wav"));
        QFile a(saved_), b(target + QStringLiteral(".wav"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());

        // The dialog gone, its temporary file is gone too.
        QVERIFY(DescriptorsInto(tmp_) > 0);
        dlg_.reset();
        QCOMPARE(DescriptorsInto(tmp_), 0);
    }

    // The disk fills up while recording: the failure is reported, recording stops, and what
    // reached the disk is a valid WAV (400000 data bytes = 100000 stereo frames).
    void diskFull() {
        dlg_ = std::make_unique<CRecordDlg>();
        dlg_->show();
        test::QualityBox(*dlg_)->setCurrentIndex(test::QualityBox(*dlg_)->findText(QStringLiteral("High quality [Stereo]")));
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 44 + 400000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString message;
        test::AnswerMessage(&message);
        test::Button(*dlg_, "record")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 8000);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QVERIFY2(message.contains(QStringLiteral("could not be written")), qPrintable(message));
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));
        QVERIFY(dlg_->GetRecordedLength() >= 2u);

        const QString path = root_.filePath(QStringLiteral("home/full.wav"));
        test::AnswerSaveDialog(path);
        test::AnswerMessage(&message);
        test::Button(*dlg_, "saveAs")->click();
        QCOMPARE(Soxi(QStringLiteral("-s"), path), QStringLiteral("100000"));
    }

    // The sound server goes away: Play and Record report their failures, and nothing changes.
    void serverGone() {
        QVERIFY(dlg_);
        QCOMPARE(QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("-k")}), 0);
        started_ = false;
        QTest::qWait(500);
        const unsigned length = dlg_->GetRecordedLength();
        QString message;
        test::AnswerMessage(&message);
        test::Button(*dlg_, "playPause")->click();
        QCOMPARE(message, QStringLiteral("Failed to play. Be sure your sound card works properly."));
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));

        message.clear();
        test::AnswerMessage(&message, QMessageBox::Yes);  // abandon the recording
        QString failure;
        QTimer::singleShot(0, [&failure] { test::AnswerMessage(&failure); });
        test::Button(*dlg_, "record")->click();
        QCOMPARE(failure, QStringLiteral("Failed to record. Be sure sound card is installed in your computer."));
        QCOMPARE(dlg_->GetState(), int(CRecordDlg::kReady));
        QCOMPARE(dlg_->GetRecordedLength(), length);  // a failed start keeps the old recording
    }

private:
    QTemporaryDir root_;
    QString tmp_;
    QString saved_;
    bool started_ = false;
    std::unique_ptr<CRecordDlg> dlg_;
};

}  // namespace tonvela

QTEST_MAIN(tonvela::RecordDlgPulseTest)
#include "RecordDlgPulseTest.moc"
