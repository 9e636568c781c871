// The web view that runs the player page. One of them is made ready (page loaded, Ruffle's
// WebAssembly compiled) once the user shows that a preview is coming, and is lent in turn to the
// preview window and the options page, so that a preview does not start Ruffle again. While it
// is parked, or hidden, its page is frozen (no script, no timer, no frame), it holds no sound
// stream, and after some minutes without use it is released.
#pragma once

#include <QColor>
#include <QJsonObject>
#include <QString>
#include <QTimer>
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
    // player before SetHome or Prepare has named the main window.
    static void GiveBack(CWarmPlayer* player);
    // Parks players in home (the main window, as a hidden child that goes with it) from now on,
    // and makes one unless one exists already.
    static void Prepare(QWidget* home);
    // Parks players in home from now on, without making one.
    static void SetHome(QWidget* home);
    // A preview is coming: makes one ready when home is set and none exists, and keeps the
    // parked one from being released for another while.
    static void PreviewComing();
    // How long a parked player waits for a window before it is released (default 5 minutes).
    static void SetReleaseDelay(int ms);
    // The parked player; null when none is parked.
    static CWarmPlayer* Parked();
    // Whether any player lives, parked or lent out.
    static bool Exists();
    // Whether SetHome or Prepare has named the main window.
    static bool HasHome();

    ~CWarmPlayer() override;

    // The player's number in the preview scheme, part of its movie URLs.
    int PlayerId() const { return player_; }
    // Ruffle has been compiled in this page (it stays so until the page process ends).
    bool Warmed() const { return warmed_; }
    // Shows state {url, bg, menu} (an empty url shows no movie); a page whose process has
    // ended is loaded again first.
    void Show(const QJsonObject& state);
    // The page runs no script and draws nothing until it is shown again.
    bool Frozen() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

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
    // Freezes the page once what has been asked of it so far has run, unless it is shown by then.
    void FreezeWhenDone();
    void Thaw();
    void Park();

    CPlayerWebPage* page_ = nullptr;
    int player_ = 0;
    bool pageReady_ = false;
    bool pageDead_ = false;
    bool warmed_ = false;
    QJsonObject state_;
    QTimer release_;
};

}  // namespace tonvela
