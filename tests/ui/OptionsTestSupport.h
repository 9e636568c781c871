// Shared by the options sheet's window tests: answers the modal dialogs a test provokes, stands
// in for the preview's player, and gives each test program a temporary folder of its own.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "ui/ShockwaveFlash.h"

namespace tonvela::test {

// Closes every message box that opens while it lives, keeping its text; hands any other modal
// dialog, once, to onDialog (run from its own single-shot, so message boxes the handler
// provokes are answered too).
class CModalDriver {
public:
    CModalDriver() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(10);
    }

    QStringList messages;
    std::function<void(QWidget*)> onDialog;

private:
    void Poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (!box->isVisible()) return;
            messages << box->text();
            box->done(QMessageBox::Ok);
            return;
        }
        if (handled_.contains(w) || !onDialog) return;
        handled_ << w;
        QPointer<QWidget> target(w);
        QTimer::singleShot(0, [this, target] {
            if (target) onDialog(target);
        });
    }

    QTimer timer_;
    QList<QPointer<QWidget>> handled_;
};

// A player that remembers what it was asked to show, and the movie's bytes at that moment.
class CFakePlayer : public CShockwaveFlash {
public:
    explicit CFakePlayer(QWidget* parent) : CShockwaveFlash(parent) {}
    void LoadMovie(int layer, const QString& movie) override {
        layers << layer;
        movies << movie;
        QFile f(movie);
        loaded << (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
    }
    void SetBGColor(const QString& colour) override { background = colour; }
    void SetMenu(bool on) override { menu = on; }

    QList<int> layers;
    QStringList movies;
    QList<QByteArray> loaded;
    QString background;
    bool menu = true;
};

// A factory making CFakePlayer and keeping the last one made.
struct CFakePlayerFactory {
    CFakePlayer* last = nullptr;
    std::function<std::unique_ptr<CShockwaveFlash>(QWidget*)> Get() {
        return [this](QWidget* parent) {
            auto p = std::make_unique<CFakePlayer>(parent);
            last = p.get();
            return std::unique_ptr<CShockwaveFlash>(std::move(p));
        };
    }
};

// The folder for screenshots.
inline QString ScreenshotDir() {
    const QString dir = QStringLiteral(TONVELA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return dir;
}

// The data folder with its trailing "/", as the settings hold it.
inline std::string DataDir() {
    std::string d = TONVELA_DATA_DIR;
    if (d.empty() || d.back() != '/') d += '/';
    return d;
}

// Makes the real player unavailable to the code under test (it looks for the web player's
// files in the data folder the environment names), so these tests never start a browser
// engine; the settings keep naming the real data folder.
inline void HideWebPlayer() {
    static QTemporaryDir empty;
    qputenv("TONVELA_DATA_DIR", empty.path().toLocal8Bit());
}

}  // namespace tonvela::test
