#include "ui/webengine/WarmPlayer.h"

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

// A parked player nobody has shown a use for is released after this long.
constexpr int kReleaseMs = 5 * 60 * 1000;

struct Pool {
    QPointer<CWarmPlayer> parked;
    // The main window: the parked player is its hidden child, and goes with it.
    QPointer<QWidget> home;
    int live = 0;
    int releaseMs = kReleaseMs;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

}  // namespace

CWarmPlayer* CWarmPlayer::Take() {
    Pool& pool = ThePool();
    if (CWarmPlayer* p = pool.parked) {
        pool.parked = nullptr;
        p->release_.stop();
        p->Thaw();
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
    player->Park();
}

void CWarmPlayer::Prepare(QWidget* home) {
    Pool& pool = ThePool();
    pool.home = home;
    if (pool.live > 0) return;
    auto* player = new CWarmPlayer;
    player->setParent(home);
    player->hide();
    player->Park();
}

void CWarmPlayer::SetHome(QWidget* home) { ThePool().home = home; }

void CWarmPlayer::PreviewComing() {
    Pool& pool = ThePool();
    if (!pool.home) return;
    if (pool.parked)
        pool.parked->release_.start(pool.releaseMs);
    else if (pool.live == 0)
        Prepare(pool.home);
}

void CWarmPlayer::SetReleaseDelay(int ms) {
    Pool& pool = ThePool();
    pool.releaseMs = ms;
    if (pool.parked) pool.parked->release_.start(ms);
}

void CWarmPlayer::Park() {
    ThePool().parked = this;
    release_.start(ThePool().releaseMs);
    FreezeWhenDone();
}

CWarmPlayer* CWarmPlayer::Parked() { return ThePool().parked; }

bool CWarmPlayer::Exists() { return ThePool().live > 0; }

bool CWarmPlayer::HasHome() { return !ThePool().home.isNull(); }

CWarmPlayer::CWarmPlayer() : QWebEngineView(static_cast<QWidget*>(nullptr)) {
    ++ThePool().live;
    player_ = CPreviewScheme::Instance()->AddPlayer();
    // The web engine's own menu (back, reload, inspect) is never wanted here.
    setContextMenuPolicy(Qt::NoContextMenu);
    page_ = new CPlayerWebPage(CPreviewScheme::Profile(), this);
    page_->setBackgroundColor(Qt::white);
    page_->onConsole = [this](const QString& m, const QString& s) { OnConsoleMessage(m, s); };
    setPage(page_);
    release_.setSingleShot(true);
    // Unused for a while: the memory and the page's process go back to the system; the next
    // preview makes a new player.
    connect(&release_, &QTimer::timeout, this, [this] {
        if (ThePool().parked != this) return;
        ThePool().parked = nullptr;
        deleteLater();
    });
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

bool CWarmPlayer::Frozen() const { return page_->lifecycleState() != QWebEnginePage::LifecycleState::Active; }

void CWarmPlayer::FreezeWhenDone() {
    // A page still loading or warming up is frozen when it is done (see the warm line); what
    // was asked of it before (the clearing of a movie) runs first.
    if (!pageReady_ || (!warmed_ && state_.value(QStringLiteral("url")).toString().isEmpty())) return;
    QPointer<CWarmPlayer> self(this);
    page_->runJavaScript(QStringLiteral("0"), [self](const QVariant&) {
        if (!self || self->isVisible()) return;
        if (self->page_->lifecycleState() == QWebEnginePage::LifecycleState::Active)
            self->page_->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    });
}

void CWarmPlayer::Thaw() {
    if (page_->lifecycleState() != QWebEnginePage::LifecycleState::Active)
        page_->setLifecycleState(QWebEnginePage::LifecycleState::Active);
}

void CWarmPlayer::showEvent(QShowEvent* event) {
    Thaw();
    QWebEngineView::showEvent(event);
}

void CWarmPlayer::hideEvent(QHideEvent* event) {
    QWebEngineView::hideEvent(event);
    FreezeWhenDone();
}

void CWarmPlayer::Show(const QJsonObject& state) {
    Thaw();
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
        if (!isVisible()) FreezeWhenDone();
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
