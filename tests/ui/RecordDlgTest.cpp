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
        QCOMPARE(message, QStringLiteral("Failed to record. Be sure sound card is installed in your computer."));
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

private:
    QTemporaryDir root_;
};

}  // namespace tonvela

QTEST_MAIN(tonvela::RecordDlgTest)
#include "RecordDlgTest.moc"
