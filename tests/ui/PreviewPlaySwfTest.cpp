// The preview window's parts that need no web player: the movie reference of the Play SWF
// command, the colour text, the movie's frame size from its header, and the question asked
// when the player cannot be created (the data folder without ruffle/), with both answers.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "ui/PlaySwfDlg.h"
#include "ui/ShockwaveFlash.h"

using namespace tonvela;

class PreviewPlaySwfTest : public QObject {
    Q_OBJECT
private slots:
    void movieReference_data();
    void movieReference();
    void colourText_data();
    void colourText();
    void splitMovie();
    void frameSize_data();
    void frameSize();
    void missingPlayer_data();
    void missingPlayer();
};

void PreviewPlaySwfTest::movieReference_data() {
    QTest::addColumn<QString>("swf");
    QTest::addColumn<QString>("player");
    QTest::addColumn<int>("initPlay");
    QTest::addColumn<int>("loopPlay");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain SWF: its path") << "/a/b.swf" << "" << 1 << 0 << 7 << "/a/b.swf";
    QTest::newRow("pair") << "/a/b.swf" << "/a/b.player.swf" << 1 << 0 << 7
                          << "/a/b.player.swf?soundswf=b.swf&autoplay=1&loops=0&duration=7";
    // The player's path stays as it is; the sound's name is encoded.
    QTest::newRow("pair, names to encode") << "/x y/my song+1.swf" << "/x y/my song+1.player.swf" << 0 << 1 << 0
                                           << "/x y/my song+1.player.swf?soundswf=my%20song%2B1.swf"
                                              "&autoplay=0&loops=1&duration=0";
}

void PreviewPlaySwfTest::movieReference() {
    QFETCH(QString, swf);
    QFETCH(QString, player);
    QFETCH(int, initPlay);
    QFETCH(int, loopPlay);
    QFETCH(int, seconds);
    QFETCH(QString, expected);
    CFileListEntry entry;
    entry.swfPath = swf.toStdString();
    entry.playerSwfPath = player.toStdString();
    entry.convertedSeconds = seconds;
    CConvertOptions settings;
    settings.SWFInitPlay = initPlay;
    settings.SWFLoopPlay = loopPlay;
    QCOMPARE(QString::fromStdString(PlaySwfMovieReference(entry, settings)), expected);
    // The window names the sound's file, not the player's.
    QCOMPARE(PlaySwfTitle(entry), QFileInfo(swf).fileName() + QStringLiteral(" \u2013 Play SWF"));
}

void PreviewPlaySwfTest::colourText_data() {
    QTest::addColumn<uint>("colour");
    QTest::addColumn<QString>("text");
    QTest::newRow("white") << 0xFFFFFFu << "#FFFFFF";
    QTest::newRow("red is the low byte") << 0x0000FFu << "#FF0000";
    QTest::newRow("mixed") << 0x0A1B2Cu << "#2C1B0A";
    QTest::newRow("black") << 0u << "#000000";
}

void PreviewPlaySwfTest::colourText() {
    QFETCH(uint, colour);
    QFETCH(QString, text);
    QCOMPARE(CShockwaveFlash::ColourText(colour), text);
}

void PreviewPlaySwfTest::splitMovie() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString q = dir.filePath(QStringLiteral("who?.swf"));  // a file name with "?"
    const QString p = dir.filePath(QStringLiteral("p.player.swf"));
    for (const QString& f : {q, p}) {
        QFile file(f);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    using Split = std::pair<QString, QString>;
    QCOMPARE(CShockwaveFlash::SplitMovie(p), Split(p, QString()));
    QCOMPARE(CShockwaveFlash::SplitMovie(p + "?soundswf=p.swf&autoplay=1"), Split(p, "soundswf=p.swf&autoplay=1"));
    QCOMPARE(CShockwaveFlash::SplitMovie(q), Split(q, QString()));
    QCOMPARE(CShockwaveFlash::SplitMovie(q + "?a=1"), Split(q, "a=1"));
    // No such file: the first "?" divides.
    QCOMPARE(CShockwaveFlash::SplitMovie("/no/such?x.swf?a=1"), Split("/no/such", "x.swf?a=1"));
}

void PreviewPlaySwfTest::frameSize_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    // 550 x 400 px = 11000 x 8000 twips in a 15-bit RECT: 78 00 05 5F 00 00 0F A0 00.
    const QByteArray rect550 = QByteArray::fromHex("7800055F00000FA000");
    const QByteArray head = QByteArray("FWS") + char(8) + QByteArray::fromHex("40000000");
    QTest::newRow("550 x 400") << head + rect550 + QByteArray::fromHex("000C0100") + QByteArray(20, 0)
                               << QSize(550, 400);
    // nbits 6; xmin 0, xmax 30, ymin 0, ymax 10 twips -> 2 x 1 px (rounded up).
    // 00110 000000 011110 000000 001010 -> 00110000 00001111 00000000 01010000
    QTest::newRow("fractional pixels round up")
        << head + QByteArray::fromHex("300F0050") + QByteArray(30, 0) << QSize(2, 1);
    QTest::newRow("compressed, not inflating: unknown") << QByteArray("CWS") + char(8) + QByteArray(40, 0) << QSize();
    QTest::newRow("cut inside the RECT") << head + rect550.left(4) << QSize();
    QTest::newRow("empty frame") << head + QByteArray(30, 0) << QSize();
}

void PreviewPlaySwfTest::frameSize() {
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.swf"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const std::optional<QSize> got = SwfFrameSize(path);
    QCOMPARE(got.value_or(QSize()), size);
}

void PreviewPlaySwfTest::missingPlayer_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("opened");
    QTest::newRow("Yes opens the entry's page") << "/out/b.htm" << true << "/out/b.htm";
    QTest::newRow("Yes without a page: the download address")
        << "" << true << "https://www.adobe.com/go/EN_US-H-GET-FLASH";
    QTest::newRow("No opens nothing") << "/out/b.htm" << false << "";
}

// A data folder without ruffle/ and a stand-in xdg-open that notes what it was asked to open.
void PreviewPlaySwfTest::missingPlayer() {
    QFETCH(QString, html);
    QFETCH(bool, yes);
    QFETCH(QString, opened);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data/ControlSWF")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString log = dir.filePath(QStringLiteral("opened.txt"));
    QFile script(dir.filePath(QStringLiteral("bin/xdg-open")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n").arg(log).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH"), oldData = qgetenv("TONVELA_DATA_DIR");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toUtf8() + ':' + oldPath);
    qputenv("TONVELA_DATA_DIR", dir.filePath(QStringLiteral("data")).toUtf8());

    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer answer;
    answer.setInterval(20);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        answer.stop();
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    answer.start();
    CFileListEntry entry;
    entry.swfPath = "/out/b.swf";
    entry.htmlPath = html.toStdString();
    PlaySwf(entry, CConvertOptions(), nullptr);
    answer.stop();
    qputenv("PATH", oldPath);
    qputenv("TONVELA_DATA_DIR", oldData);

    QCOMPARE(caption, QStringLiteral("Tonvela"));
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(text, QStringLiteral("Adobe Flash Player hasn't been installed on your computer. The SWF file can't be "
                                  "played.\n\nDo you want to install Adobe Flash Player now? Be sure your computer "
                                  "is online."));
    QFile got(log);
    QCOMPARE(got.exists(), !opened.isEmpty());
    if (got.open(QIODevice::ReadOnly)) QCOMPARE(QString::fromUtf8(got.readAll()), opened);
}

QTEST_MAIN(PreviewPlaySwfTest)
#include "PreviewPlaySwfTest.moc"
