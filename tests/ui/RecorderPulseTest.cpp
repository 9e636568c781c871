// The recorder object without a window, against a PulseAudio daemon of the test's own: the input
// list with its monitors, a tone played into a null sink recorded back from its monitor, a take
// of 0.3 s that can be played and saved, a failed start that keeps the take, and the server
// killed in the middle of a take.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "RecorderTestUtil.h"
#include "ui/recorder/Recorder.h"

namespace tonvela {

class RecorderPulseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        test::IsolateEnvironment(root_);
        tmp_ = root_.filePath(QStringLiteral("tmp"));
        // The server's own sine generator plays 440 Hz into the null sink.
        if (!test::StartPulse(root_, {QStringLiteral("module-sine sink=null frequency=440")}))
            QSKIP("pulseaudio cannot be started here");
        started_ = true;
    }

    void cleanupTestCase() {
        if (started_) QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("-k")});
    }

    // Monitors are listed, marked as such, beside the ordinary inputs.
    void inputsIncludeMonitors() {
        const InputDeviceList list = ListInputDevices();
        QVERIFY(list.reached);
        QVERIFY(!list.defaultId.isEmpty());
        auto find = [&](const char* id) {
            return std::find_if(list.devices.begin(), list.devices.end(), [id](const InputDevice& d) { return d.id == id; });
        };
        QVERIFY(find("nullsrc") != list.devices.end());
        QVERIFY(!find("nullsrc")->monitor);
        QVERIFY(find("null.monitor") != list.devices.end());
        QVERIFY(find("null.monitor")->monitor);
        QVERIFY(!find("null.monitor")->description.isEmpty());
    }

    // What the null sink plays comes back from its monitor: sox finds the tone's frequency in
    // the take, and the level meter moved while recording; the silent source leaves it at 0.
    void monitorToneComesBack() {
        CRecorder rec;
        QCOMPARE(rec.StartRecording("null.monitor", 500), CRecorder::StartResult::kStarted);
        QCOMPARE(rec.GetState(), CRecorder::kRecording);
        QVERIFY(!rec.HasTake());
        QTRY_VERIFY_WITH_TIMEOUT(rec.Level() > 0.1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(rec.TakeSeconds() >= 1.5, 20000);
        rec.StopRecording();
        QVERIFY(rec.HasTake());
        QCOMPARE(rec.Level(), 0.0);
        const QString path = QString::fromStdString(rec.TakePath());
        QCOMPARE(test::Soxi(QStringLiteral("-r"), path), QStringLiteral("44100"));
        QCOMPARE(test::Soxi(QStringLiteral("-c"), path), QStringLiteral("1"));
        const double frequency = test::SoxStat(path, QStringLiteral("Rough   frequency"));
        QVERIFY2(std::abs(frequency - 440) < 10, qPrintable(QString::number(frequency)));
        QVERIFY(test::SoxStat(path, QStringLiteral("RMS     amplitude")) > 0.05);

        QCOMPARE(rec.StartRecording("nullsrc", 500), CRecorder::StartResult::kStarted);
        QTRY_VERIFY_WITH_TIMEOUT(rec.TakeSeconds() >= 0.5, 20000);
        QCOMPARE(rec.Level(), 0.0);
        rec.StopRecording();
    }

    // A take of 0.3 s is a take: its length comes from its data, it plays to its end (again and
    // again), a copy is saved. Starting from an input that is not there keeps it; a new take
    // replaces its file.
    void shortTake() {
        auto owner = std::make_unique<CRecorder>();
        CRecorder& rec = *owner;
        QCOMPARE(rec.StartRecording("nullsrc", 300), CRecorder::StartResult::kStarted);
        // Stopped once a fifth of a second has come in (the source hands it over in bursts).
        QTRY_VERIFY_WITH_TIMEOUT(rec.TakeSeconds() >= 0.2, 20000);
        rec.StopRecording();
        QVERIFY(rec.HasTake());
        QVERIFY(!rec.IsSaved());
        const QString path = QString::fromStdString(rec.TakePath());
        QVERIFY2(QFileInfo(path).fileName().startsWith(QStringLiteral("tvr")) && QFileInfo(path).absolutePath() == tmp_,
                 qPrintable(path));
        QVERIFY2(rec.TakeSeconds() >= 0.2 && rec.TakeSeconds() < 5, qPrintable(QString::number(rec.TakeSeconds())));
        QCOMPARE(test::Soxi(QStringLiteral("-s"), path).toULongLong(), rec.TakeBytes() / 2);
        QCOMPARE(test::Soxi(QStringLiteral("-r"), path), QStringLiteral("22050"));

        // Played to its end, and again at once: each sink let go may still hear from the server.
        for (int play = 0; play < 3; ++play) {
            QVERIFY(rec.StartPlayback(1.0));
            QCOMPARE(rec.GetState(), CRecorder::kPlaying);
            QTRY_COMPARE_WITH_TIMEOUT(rec.GetState(), CRecorder::kReady, 20000);
        }

        const QString copy = root_.filePath(QStringLiteral("home/short.wav"));
        QVERIFY(rec.SaveCopy(QFile::encodeName(copy).toStdString()));
        QVERIFY(rec.IsSaved());
        QCOMPARE(test::Soxi(QStringLiteral("-s"), copy).toULongLong(), rec.TakeBytes() / 2);

        QCOMPARE(rec.StartRecording("no-such-input", 300), CRecorder::StartResult::kNoDevice);
        QVERIFY(rec.HasTake());
        QVERIFY(rec.IsSaved());
        QVERIFY(QFile::exists(path));

        QCOMPARE(rec.StartRecording("nullsrc", 300), CRecorder::StartResult::kStarted);
        QVERIFY(!QFile::exists(path));
        QVERIFY(!rec.IsSaved());
        rec.StopRecording();
        const QString second = QString::fromStdString(rec.TakePath());
        QVERIFY(QFile::exists(second));
        // The recorder gone, its take is gone too; the saved copy stays.
        owner.reset();
        QVERIFY(!QFile::exists(second));
        QVERIFY(QFile::exists(copy));
    }

    // The sound server dies in the middle of a take: the recorder stops on its own and says so,
    // and the take is what reached the disk: a WAV file that sox decodes, whose length is the
    // time recorded up to the crash and the length the recorder shows.
    void serverKilledDuringTake() {
        CRecorder rec;
        QSignalSpy interrupted(&rec, &CRecorder::interrupted);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rec.StartRecording("nullsrc", 600), CRecorder::StartResult::kStarted);
        QTRY_VERIFY_WITH_TIMEOUT(rec.TakeSeconds() >= 1.0, 20000);
        const double killedAt = static_cast<double>(clock.elapsed()) / 1000.0;
        QVERIFY(test::KillPulse(root_));
        started_ = false;
        QTRY_COMPARE_WITH_TIMEOUT(rec.GetState(), CRecorder::kReady, 20000);
        QCOMPARE(interrupted.count(), 1);
        QCOMPARE(interrupted.first().first().value<CRecorder::Interruption>(), CRecorder::Interruption::kDeviceLost);
        QVERIFY(rec.HasTake());

        const QString path = QString::fromStdString(rec.TakePath());
        QVERIFY(QFile::exists(path));
        QCOMPARE(test::Soxi(QStringLiteral("-c"), path), QStringLiteral("2"));
        QCOMPARE(test::Soxi(QStringLiteral("-s"), path).toULongLong(), rec.TakeBytes() / 4);
        QVERIFY(!std::isnan(test::SoxStat(path, QStringLiteral("RMS     amplitude"))));
        QVERIFY2(rec.TakeSeconds() >= 1.0 && rec.TakeSeconds() <= killedAt + 0.3,
                 qPrintable(QStringLiteral("%1 s, killed at %2 s").arg(rec.TakeSeconds()).arg(killedAt)));

        // Without a server nothing starts, and the take stays.
        QCOMPARE(rec.StartRecording("nullsrc", 600), CRecorder::StartResult::kNoDevice);
        QVERIFY(QFile::exists(path));
        QVERIFY(!ListInputDevices().reached);
    }

private:
    QTemporaryDir root_;
    QString tmp_;
    bool started_ = false;
};

}  // namespace tonvela

QTEST_GUILESS_MAIN(tonvela::RecorderPulseTest)
#include "RecorderPulseTest.moc"
