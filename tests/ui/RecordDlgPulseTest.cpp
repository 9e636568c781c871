// The Record window against a PulseAudio daemon of the test's own (a null sink playing a tone,
// its monitor, and a clocked null source): a take's format and length read back by sox, playback
// with pause and stop, the questions before a take is thrown away, Convert to SWF, the input
// remembered, a disk that fills up and a sound server that dies while recording. Screenshots of
// the input list and of the level meter while recording, and while playing.
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <memory>

#include "RecordDlgTestUtil.h"
#include "ui/Skin.h"

namespace tonvela {

namespace {

void Shot(QWidget& w, const char* name) {
    QDir().mkpath(QStringLiteral(TONVELA_BINARY_DIR "/screenshots"));
    QVERIFY(w.grab().save(QStringLiteral(TONVELA_BINARY_DIR "/screenshots/") + QLatin1String(name)));
}

QComboBox* DeviceBox(CRecordDlg& dlg) {
    return dlg.findChild<QComboBox*>(QStringLiteral("device"));
}

void Choose(QComboBox* box, const QVariant& data) {
    const int i = box->findData(data);
    QVERIFY2(i >= 0, qPrintable(data.toString()));
    box->setCurrentIndex(i);
}

const QString kDiscard = QStringLiteral("The recording has not been saved. Are you sure you want to discard it?");

}  // namespace

class RecordDlgPulseTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { test::CancelAnswers(); }

    void initTestCase() {
        QVERIFY(root_.isValid());
        test::IsolateEnvironment(root_);
        tmp_ = root_.filePath(QStringLiteral("tmp"));
        if (!test::StartPulse(root_, {QStringLiteral("module-sine sink=null frequency=440")}))
            QSKIP("pulseaudio cannot be started here");
        started_ = true;
        if (QMediaDevices::defaultAudioOutput().isNull()) QSKIP("the test's sound server is not the one Qt Multimedia uses");
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) ApplySkin(*app);
    }

    void cleanupTestCase() {
        dlg_.reset();
        if (started_) QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("-k")});
    }

    // The inputs, monitors included, with the server's default input chosen at first; while
    // recording from the monitor of the sink that plays the tone the level meter moves.
    void levelMeterWhileRecording() {
        dlg_ = std::make_unique<CRecordDlg>();
        dlg_->show();
        QComboBox* devices = DeviceBox(*dlg_);
        QVERIFY(devices->findData(QByteArray("nullsrc")) >= 0);
        QVERIFY(devices->currentData().toByteArray() != "null.monitor");  // the server's default, not a monitor
        Choose(devices, QByteArray("null.monitor"));
        devices->showPopup();
        QVERIFY(QTest::qWaitForWindowExposed(devices->view()->window()));
        Shot(*devices->view()->window(), "recorder-inputs.png");
        devices->hidePopup();

        auto* level = dlg_->findChild<QProgressBar*>(QStringLiteral("level"));
        test::Button(*dlg_, "record")->click();
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kRecording);
        QVERIFY(!devices->isEnabled());
        // A null sink hands its monitor the first sound only after its current block (up to 2 s).
        QTRY_VERIFY_WITH_TIMEOUT(level->value() > 10, 20000);
        Shot(*dlg_, "recorder-recording.png");
        test::Button(*dlg_, "stopRec")->click();
        QCOMPARE(level->value(), 0);
    }

    // About 3.5 s at "High quality [Stereo]" from the clocked null source, over the take before:
    // the status counts tenths, the file holds all of it as 44100 Hz 16-bit stereo, and the
    // length shown is the file's.
    void recordHighStereo() {
        Choose(DeviceBox(*dlg_), QByteArray("nullsrc"));
        Choose(test::QualityBox(*dlg_), 600);
        QString question;
        test::AnswerMessage(&question, QMessageBox::Yes);
        QElapsedTimer clock;
        clock.start();
        test::Button(*dlg_, "record")->click();
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kRecording);
        QVERIFY(question.startsWith(QStringLiteral("The previous recording has not been saved.")));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("0100000"));
        // Three and a half seconds of sound have come in (the source hands them over in bursts).
        QTRY_VERIFY_WITH_TIMEOUT(dlg_->Recorder().TakeSeconds() >= 3.5, 30000);
        QVERIFY2(test::StatusText(*dlg_).startsWith(QStringLiteral("Recording...  00:0")), qPrintable(test::StatusText(*dlg_)));
        const double elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
        test::Button(*dlg_, "stopRec")->click();
        const double end = static_cast<double>(clock.elapsed()) / 1000.0;
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kReady);
        QVERIFY2(QRegularExpression(QStringLiteral("^Ready\\.  Length: 00:0(3\\.[5-9]|[4-9]\\.[0-9])$")).match(test::StatusText(*dlg_)).hasMatch(),
                 qPrintable(test::StatusText(*dlg_)));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1010111"));
        // The take lives in a named file of the temporary folder.
        QCOMPARE(QDir(tmp_).entryList({QStringLiteral("tvr*.wav")}, QDir::Files).size(), 1);

        saved_ = root_.filePath(QStringLiteral("home/takes/first.wav"));
        QVERIFY(QDir().mkpath(QFileInfo(saved_).path()));
        QStringList offered;
        test::AnswerSaveDialog(saved_, &offered);
        test::Button(*dlg_, "saveAs")->click();
        QCOMPARE(dlg_->findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("Saved as '%1'.").arg(saved_));
        QCOMPARE(offered.size(), 2);
        QVERIFY2(offered[0] != QFileInfo(saved_).path(), qPrintable(offered[0]));
        QVERIFY2(QRegularExpression(QStringLiteral("^Recording \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d\\.wav$")).match(offered[1]).hasMatch(),
                 qPrintable(offered[1]));
        QCOMPARE(test::Soxi(QStringLiteral("-r"), saved_), QStringLiteral("44100"));
        QCOMPARE(test::Soxi(QStringLiteral("-c"), saved_), QStringLiteral("2"));
        QCOMPARE(test::Soxi(QStringLiteral("-b"), saved_), QStringLiteral("16"));
        // The file holds all the sound that had come in when Stop Rec was clicked, and no more
        // than the time between the two clicks (with what the server hands over at a time): on a
        // busy machine the server may hand it over late, never early.
        const double seconds = test::Soxi(QStringLiteral("-D"), saved_).toDouble();
        QVERIFY2(seconds >= 3.5 && seconds < end + 0.5,
                 qPrintable(QStringLiteral("recorded %1 s in %2..%3 s").arg(seconds).arg(elapsed).arg(end)));
        QCOMPARE(test::StatusText(*dlg_), QStringLiteral("Ready.  Length: 00:%1.%2")
                                              .arg(static_cast<int>(seconds), 2, 10, QLatin1Char('0'))
                                              .arg(static_cast<int>(seconds * 10) % 10));
    }

    // Play, Pause (the position holds), Play again, Stop; then play to the end on its own.
    void playPauseStop() {
        const QString ready = test::StatusText(*dlg_);
        const QString length = ready.section(QLatin1Char(' '), -1);
        QPushButton* play = test::Button(*dlg_, "playPause");
        play->click();
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kPlaying);
        QCOMPARE(play->text(), QStringLiteral("&Pause"));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1011111"));
        QTRY_VERIFY_WITH_TIMEOUT(test::StatusText(*dlg_).startsWith(QStringLiteral("Playing...  00:01.")), 20000);
        Shot(*dlg_, "recorder-playing.png");
        play->click();
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kPaused);
        QCOMPARE(play->text(), QStringLiteral("&Play"));
        const QString paused = test::StatusText(*dlg_);
        QVERIFY2(paused.startsWith(QStringLiteral("Paused  00:01.")) && paused.endsWith(QStringLiteral(" / ") + length),
                 qPrintable(paused));
        // The bar shows the played part of the take (1 s of about 3.5 s) while it plays.
        auto* bar = dlg_->findChild<QProgressBar*>(QStringLiteral("level"));
        QVERIFY2(bar->value() >= 20 && bar->value() <= 60, qPrintable(QString::number(bar->value())));
        QCOMPARE(bar->accessibleName(), QStringLiteral("Playback position"));
        QTest::qWait(1500);
        QCOMPARE(test::StatusText(*dlg_), paused);
        play->click();
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kPlaying);
        test::Button(*dlg_, "stop")->click();
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kReady);
        QCOMPARE(test::StatusText(*dlg_), ready);
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1010111"));
        QCOMPARE(bar->accessibleName(), QStringLiteral("Input level"));

        // Played to its end the window is ready again; the played time never passes the length.
        play->click();
        QElapsedTimer clock;
        clock.start();
        QStringList seen;
        while (dlg_->Recorder().GetState() == CRecorder::kPlaying && clock.elapsed() < 30000) {
            if (!seen.contains(test::StatusText(*dlg_))) seen << test::StatusText(*dlg_);
            QTest::qWait(50);
        }
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kReady);
        QVERIFY2(clock.elapsed() > 3000, qPrintable(QString::number(clock.elapsed())));
        for (const QString& s : seen) {
            const QStringList times = s.mid(QStringLiteral("Playing...  ").size()).split(QStringLiteral(" / "));
            QVERIFY2(times.size() == 2 && times[0] <= times[1] && times[1] == length, qPrintable(s));
        }
        QVERIFY2(seen.last() >= QStringLiteral("Playing...  00:03.3"), qPrintable(seen.last()));
    }

    // A take of 0.3 s can be reached. Cancel, Esc, the close box and Record over an unsaved take
    // ask first, and No keeps the window and the take; Yes on Cancel gives it up.
    void unsavedTakeQuestions() {
        auto dlg = std::make_unique<CRecordDlg>();
        dlg->show();
        Choose(DeviceBox(*dlg), QByteArray("nullsrc"));
        test::Button(*dlg, "record")->click();
        QTRY_VERIFY_WITH_TIMEOUT(dlg->Recorder().TakeSeconds() >= 0.1, 20000);
        test::Button(*dlg, "stopRec")->click();
        QCOMPARE(test::EnabledControls(*dlg), QStringLiteral("1010111"));
        QVERIFY2(QRegularExpression(QStringLiteral("^Ready\\.  Length: 00:00\\.[1-9]$")).match(test::StatusText(*dlg)).hasMatch(),
                 qPrintable(test::StatusText(*dlg)));
        const std::string take = dlg->Recorder().TakePath();

        const std::vector<std::pair<const char*, std::function<void()>>> ways = {
            {"Cancel", [&] { test::Button(*dlg, "cancel")->click(); }},
            {"Esc", [&] { QTest::keyClick(dlg.get(), Qt::Key_Escape); }},
            {"close box", [&] { dlg->close(); }},
        };
        for (const auto& [way, act] : ways) {
            QString question;
            test::AnswerMessage(&question, QMessageBox::No);
            act();
            QVERIFY2(question == kDiscard, way);
            QVERIFY2(dlg->isVisible(), way);
            QVERIFY2(dlg->Recorder().HasTake() && dlg->Recorder().TakePath() == take, way);
        }
        QString question;
        test::AnswerMessage(&question, QMessageBox::No);
        test::Button(*dlg, "record")->click();
        QCOMPARE(question, QStringLiteral("The previous recording has not been saved. Discard it and record again?"));
        QCOMPARE(dlg->Recorder().GetState(), CRecorder::kReady);
        QCOMPARE(dlg->Recorder().TakePath(), take);

        test::AnswerMessage(&question, QMessageBox::Yes);
        test::Button(*dlg, "cancel")->click();
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        dlg.reset();
        QVERIFY(!QFile::exists(QString::fromStdString(take)));
    }

    // A saved take whose file has gone is saved again: the save dialog opens where the last
    // recording went. Cancelling it keeps the recorder open; choosing a name saves and accepts
    // without a question, and the input chosen is remembered for the next time.
    void convertToSwf() {
        const QString moved = saved_ + QStringLiteral(".moved");
        QVERIFY(QFile::rename(saved_, moved));
        Choose(DeviceBox(*dlg_), QByteArray("null.monitor"));
        QStringList offered;
        test::AnswerSaveDialog(QString(), &offered);
        test::Button(*dlg_, "convert")->click();
        QVERIFY(dlg_->isVisible());
        QVERIFY(dlg_->SavedPath().empty());
        QCOMPARE(offered.value(0), QFileInfo(saved_).path());

        const QString target = root_.filePath(QStringLiteral("home/for-swf"));  // ".wav" is added
        test::AnswerSaveDialog(target);
        test::Button(*dlg_, "convert")->click();
        QCOMPARE(dlg_->result(), int(QDialog::Accepted));
        QVERIFY(!dlg_->isVisible());
        QCOMPARE(QString::fromStdString(dlg_->SavedPath()), target + QStringLiteral(".wav"));
        QFile a(moved), b(target + QStringLiteral(".wav"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());

        // The window gone, its take is gone too.
        const QString take = QString::fromStdString(dlg_->Recorder().TakePath());
        QVERIFY(QFile::exists(take));
        dlg_.reset();
        QVERIFY(!QFile::exists(take));

        CRecordDlg again;
        QCOMPARE(DeviceBox(again)->currentData().toByteArray(), QByteArray("null.monitor"));
        QCOMPARE(test::QualityBox(again)->currentData().toInt(), 600);
    }

    // The disk fills up while recording: the failure is reported, recording stops, and what
    // reached the disk is a valid WAV (400000 data bytes = 100000 stereo frames).
    void diskFull() {
        dlg_ = std::make_unique<CRecordDlg>();
        dlg_->show();
        Choose(test::QualityBox(*dlg_), 600);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 44 + 400000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString message;
        test::AnswerMessage(&message);
        test::Button(*dlg_, "record")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 20000);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QVERIFY2(message.contains(QStringLiteral("could not be written")), qPrintable(message));
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kReady);
        QCOMPARE(dlg_->Recorder().TakeBytes(), 400000u);
        QCOMPARE(test::StatusText(*dlg_), QStringLiteral("Ready.  Length: 00:02.2"));

        const QString path = root_.filePath(QStringLiteral("home/full.wav"));
        test::AnswerSaveDialog(path);
        test::Button(*dlg_, "saveAs")->click();
        QCOMPARE(test::Soxi(QStringLiteral("-s"), path), QStringLiteral("100000"));
    }

    // The sound server dies while recording: the window says so and keeps the take, with its
    // length; Play and Record then report their failures and the take stays.
    void serverGoneWhileRecording() {
        QVERIFY(dlg_);
        QString message;
        test::Button(*dlg_, "record")->click();  // the take was saved: no question
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kRecording);
        QTRY_VERIFY_WITH_TIMEOUT(dlg_->Recorder().TakeSeconds() > 1.0, 20000);
        test::AnswerMessage(&message);
        QVERIFY(test::KillPulse(root_));
        started_ = false;
        QTRY_COMPARE_WITH_TIMEOUT(dlg_->Recorder().GetState(), CRecorder::kReady, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(message, QStringLiteral("Recording stopped: the sound device went away. What was "
                                                          "recorded up to then is kept."), 2000);
        const std::uint64_t bytes = dlg_->Recorder().TakeBytes();
        QVERIFY(dlg_->Recorder().HasTake());
        QVERIFY(test::StatusText(*dlg_).startsWith(QStringLiteral("Ready.  Length: 00:01.")));
        QCOMPARE(test::EnabledControls(*dlg_), QStringLiteral("1010111"));
        QCOMPARE(test::Soxi(QStringLiteral("-s"), QString::fromStdString(dlg_->Recorder().TakePath())).toULongLong(),
                 bytes / 4);

        message.clear();
        test::AnswerMessage(&message);
        test::Button(*dlg_, "playPause")->click();
        QCOMPARE(message, QStringLiteral("Failed to play. Be sure your sound card works properly."));
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kReady);

        test::AnswerMessage(&message, QMessageBox::Yes);  // abandon the take
        QString failure;
        QTimer::singleShot(0, [&failure] { test::AnswerMessage(&failure); });
        test::Button(*dlg_, "record")->click();
        QCOMPARE(failure, QStringLiteral("Recording could not start: no sound input was found. Check that a microphone or "
                                          "other input is connected and enabled."));
        QCOMPARE(dlg_->Recorder().GetState(), CRecorder::kReady);
        QCOMPARE(dlg_->Recorder().TakeBytes(), bytes);  // a failed start keeps the take
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
