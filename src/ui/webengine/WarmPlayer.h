// The web view that runs the player page. One of them is made ready (page loaded, Ruffle's
// WebAssembly compiled) once the main window has been idle a moment, and is lent in turn to the
// preview window and the options page, so that a preview does not start Ruffle again.
#pragma once

#include <QColor>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>
#include <QWebEngineView>
#include <functional>

class QWidget;

namespace tonvela {

class CPlayerWebPage;

class CWarmPlayer : public QWebEngineView {
    Q_OBJECT
public:
    // The parked player when there is one (it is parked no more), else a new one.
    static CWarmPlayer* Take();
    // Back from a window: its movie stops and it is parked for the next window. A second
    // player, made while the parked one was lent out, is deleted instead, and so is every
    // player before Prepare has named the main window.
    static void GiveBack(CWarmPlayer* player);
    // Parks players in home (the main window, as a hidden child that goes with it) from now on,
    // and makes one unless one exists already.
    static void Prepare(QWidget* home);
    // Calls then once window has had no input for a moment (unless window goes first).
    static void WhenIdle(QWidget* window, std::function<void()> then);
    // The parked player; null when none is parked.
    static CWarmPlayer* Parked();

    ~CWarmPlayer() override;

    // The player's number in the preview scheme, part of its movie URLs.
    int PlayerId() const { return player_; }
    // Ruffle has been compiled in this page (it stays so until the page process ends).
    bool Warmed() const { return warmed_; }
    // Shows state {url, bg, menu} (an empty url shows no movie); a page whose process has
    // ended is loaded again first.
    void Show(const QJsonObject& state);

signals:
    // The player has read the shown movie's header (see CShockwaveFlash::movieLoaded).
    void movieLoaded(const QVariantMap& metadata);
    void warmed();
    // The page's process crashed or was killed: the view shows nothing until the next Show.
    void pageProcessEnded();

private:
    CWarmPlayer();
    void LoadPage();
    void OnConsoleMessage(const QString& message, const QString& source);
    void RunShow();

    CPlayerWebPage* page_ = nullptr;
    int player_ = 0;
    bool pageReady_ = false;
    bool pageDead_ = false;
    bool warmed_ = false;
    QJsonObject state_;
};

}  // namespace tonvela
