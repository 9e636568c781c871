#include "ui/webengine/WarmPlayer.h"

#include <QApplication>
#include <QEvent>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <functional>

#include "ui/webengine/PlayerPage.h"
#include "ui/webengine/PreviewScheme.h"

namespace tonvela {

// The page stays on the player page, opens no windows, and hands its own log lines over.
class CPlayerWebPage : public QWebEnginePage {
public:
    CPlayerWebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}
    std::function<void(const QString&, const QString&)> onConsole;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return isMainFrame && url == QUrl(CPreviewScheme::Url(QStringLiteral("index.html")));
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString& sourceId) override {
        if (onConsole) onConsole(message, sourceId);
    }
};

namespace {

// Input-free time of the main window after which the player is made ready.
constexpr int kIdleMs = 1000;

struct Pool {
    QPointer<CWarmPlayer> parked;
    // The main window: the parked player is its hidden child, and goes with it.
    QPointer<QWidget> home;
    int live = 0;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

// Restarts its countdown on every key or button the user presses in the program.
class CIdleWatch : public QObject {
public:
    CIdleWatch(QWidget* window, std::function<void()> then) : QObject(window), then_(std::move(then)) {
        timer_.setSingleShot(true);
        timer_.setInterval(kIdleMs);
        connect(&timer_, &QTimer::timeout, this, [this] {
            then_();
            deleteLater();
        });
        qApp->installEventFilter(this);
        timer_.start();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::Wheel: timer_.start(); break;
            default: break;
        }
        return false;
    }

private:
    std::function<void()> then_;
    QTimer timer_;
};

}  // namespace

CWarmPlayer* CWarmPlayer::Take() {
    Pool& pool = ThePool();
    if (CWarmPlayer* p = pool.parked) {
        pool.parked = nullptr;
        return p;
    }
    return new CWarmPlayer;
}

void CWarmPlayer::GiveBack(CWarmPlayer* player) {
    if (!player) return;
    Pool& pool = ThePool();
    if (!pool.home || (pool.parked && pool.parked != player)) {
        player->deleteLater();
        return;
    }
    // No movie keeps playing, and the next window starts from a clean page.
    player->Show(QJsonObject{{QStringLiteral("url"), QString()},
                             {QStringLiteral("bg"), QStringLiteral("#FFFFFF")},
                             {QStringLiteral("menu"), false}});
    if (player->pageReady_)
        player->page_->runJavaScript(QStringLiteral("tonvela.loads = 0; tonvela.fetched = [];"));
    player->page_->setBackgroundColor(Qt::white);
    player->setParent(pool.home);
    player->hide();
    pool.parked = player;
}

void CWarmPlayer::Prepare(QWidget* home) {
    Pool& pool = ThePool();
    pool.home = home;
    if (pool.live > 0) return;
    pool.parked = new CWarmPlayer;
    pool.parked->setParent(home);
    pool.parked->hide();
}

void CWarmPlayer::WhenIdle(QWidget* window, std::function<void()> then) { new CIdleWatch(window, std::move(then)); }

CWarmPlayer* CWarmPlayer::Parked() { return ThePool().parked; }

CWarmPlayer::CWarmPlayer() : QWebEngineView(static_cast<QWidget*>(nullptr)) {
    ++ThePool().live;
    player_ = CPreviewScheme::Instance()->AddPlayer();
    // The web engine's own menu (back, reload, inspect) is never wanted here.
    setContextMenuPolicy(Qt::NoContextMenu);
    page_ = new CPlayerWebPage(CPreviewScheme::Profile(), this);
    page_->setBackgroundColor(Qt::white);
    page_->onConsole = [this](const QString& m, const QString& s) { OnConsoleMessage(m, s); };
    setPage(page_);
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        pageReady_ = ok;
        if (!ok) return;
        if (state_.value(QStringLiteral("url")).toString().isEmpty() && !warmed_)
            page_->runJavaScript(QStringLiteral("window.tonvela && tonvela.warm();"));
        else
            RunShow();
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status == QWebEnginePage::NormalTerminationStatus) return;
                pageReady_ = false;
                pageDead_ = true;
                warmed_ = false;
                emit pageProcessEnded();
            });
    LoadPage();
}

CWarmPlayer::~CWarmPlayer() {
    page_->onConsole = nullptr;
    --ThePool().live;
    CPreviewScheme::Instance()->RemovePlayer(player_);
    // The page before the view it belongs to.
    delete page_;
}

void CWarmPlayer::LoadPage() {
    pageReady_ = false;
    pageDead_ = false;
    page_->setUrl(QUrl(CPreviewScheme::Url(QStringLiteral("index.html"))));
}

void CWarmPlayer::Show(const QJsonObject& state) {
    state_ = state;
    page_->setBackgroundColor(QColor(state_.value(QStringLiteral("bg")).toString()));
    if (pageDead_)
        LoadPage();  // shown when the page has loaded again
    else if (pageReady_)
        RunShow();
}

void CWarmPlayer::RunShow() {
    page_->runJavaScript(QStringLiteral("window.tonvela && window.tonvela.show(%1);")
                             .arg(QString::fromUtf8(QJsonDocument(state_).toJson(QJsonDocument::Compact))));
}

void CWarmPlayer::OnConsoleMessage(const QString& message, const QString& source) {
    // Only the page's own lines count; a movie's trace output comes from the player's scripts.
    if (QUrl(source) != QUrl(CPreviewScheme::Url(QStringLiteral("index.html")))) return;
    if (message == QLatin1String(kWarmedLine)) {
        warmed_ = true;
        emit warmed();
        return;
    }
    if (!message.startsWith(QLatin1String(kMovieLoadedPrefix))) return;
    const QJsonDocument doc =
        QJsonDocument::fromJson(message.mid(qsizetype(sizeof kMovieLoadedPrefix) - 1).toUtf8());
    if (!doc.isObject()) return;
    warmed_ = true;
    emit movieLoaded(doc.object().toVariantMap());
}

}  // namespace tonvela
