// Helpers of the window tests: a desktop that only records what it was asked, a catcher of
// message boxes, sound files made by sox, and screenshots.
#pragma once

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QMutex>
#include <QPixmap>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/DesktopServices.h"

namespace tonvela::test {

// Records every request instead of starting programs or dialogs; the choosers answer with what
// the test put in.
class CFakeDesktop : public CDesktopServices {
public:
    struct Log {
        QMutex mutex;  // ShowItem runs on the batch's thread
        std::vector<std::string> opened, shown, viewed;
        QStringList files;
        QString folder;
        QString filesStart;  // where the last Add Files dialog was asked to start
    };
    explicit CFakeDesktop(Log& log) : log_(log) {}
    bool OpenDocument(const std::string& path) override {
        QMutexLocker lock(&log_.mutex);
        log_.opened.push_back(path);
        return true;
    }
    bool ShowItem(const std::string& path) override {
        QMutexLocker lock(&log_.mutex);
        log_.shown.push_back(path);
        return true;
    }
    void ViewText(const std::string& path, QWidget*) override {
        QMutexLocker lock(&log_.mutex);
        log_.viewed.push_back(path);
    }
    QStringList ChooseFiles(QWidget*, const QString& start) override {
        log_.filesStart = start;
        return log_.files;
    }
    QString ChooseFolder(QWidget*, const QString&) override { return log_.folder; }

private:
    Log& log_;
};

// Answers every message box that opens while it lives, keeping its text and icon.
class CMessageCatcher {
public:
    struct Message {
        QString text;
        QMessageBox::Icon icon;
    };
    CMessageCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box || !box->isVisible() || box->property("caught").toBool()) continue;
                box->setProperty("caught", true);
                messages.push_back({box->text(), box->icon()});
                captions.push_back(box->windowTitle());
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<Message> messages;
    QStringList captions;

private:
    QTimer timer_;
};

// Runs sox with args; QFAIL-style result for QVERIFY.
inline bool Sox(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A sine tone: seconds long, at rate Hz with channels, bits per sample.
inline bool MakeTone(const QString& path, double seconds, int rate = 22050, int channels = 1, int bits = 16) {
    return Sox({QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate), QStringLiteral("-c"),
                QString::number(channels), QStringLiteral("-b"), QString::number(bits), path,
                QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440")});
}

inline QString ScreenshotDir() {
    const QString dir = QStringLiteral(TONVELA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return dir;
}

inline bool SaveShot(const QPixmap& pm, const QString& name) {
    return !pm.isNull() && pm.save(ScreenshotDir() + QLatin1Char('/') + name);
}

}  // namespace tonvela::test
