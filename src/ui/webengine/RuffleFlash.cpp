#include "ui/webengine/RuffleFlash.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>

#include "platform/DataFolder.h"
#include "platform/PercentEncode.h"
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

std::unique_ptr<CShockwaveFlash> CRuffleFlash::Create(QWidget* parent) {
    const QString folder = QString::fromStdString(DataFolder()) + QStringLiteral("ruffle");
    const QDir dir(folder);
    if (!QFileInfo(dir.filePath(QStringLiteral("ruffle.js"))).isFile() ||
        dir.entryList({QStringLiteral("core.ruffle.*.js")}, QDir::Files).isEmpty() ||
        dir.entryList({QStringLiteral("*.wasm")}, QDir::Files).isEmpty())
        return nullptr;
    if (!CPreviewScheme::Profile()) return nullptr;
    CPreviewScheme::Instance()->SetRuffleFolder(dir.absolutePath());
    return std::unique_ptr<CShockwaveFlash>(new CRuffleFlash(parent));
}

CRuffleFlash::CRuffleFlash(QWidget* parent) : CShockwaveFlash(parent) {
    player_ = CPreviewScheme::Instance()->AddPlayer();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new QWebEngineView(this);
    // The web engine's own menu (back, reload, inspect) is never wanted here.
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    page_ = new CPlayerWebPage(CPreviewScheme::Profile(), view_);
    page_->setBackgroundColor(QColor(bgColour_));
    page_->onConsole = [this](const QString& m, const QString& s) { OnConsoleMessage(m, s); };
    view_->setPage(page_);
    layout->addWidget(view_);
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        pageReady_ = ok;
        if (ok) Show();
    });
    page_->setUrl(QUrl(CPreviewScheme::Url(QStringLiteral("index.html"))));
}

CRuffleFlash::~CRuffleFlash() {
    page_->onConsole = nullptr;
    CPreviewScheme::Instance()->RemovePlayer(player_);
}

void CRuffleFlash::LoadMovie(int, const QString& movie) {
    const auto [path, query] = SplitMovie(movie);
    const QFileInfo info(path);
    const QString name = info.fileName();
    QSet<QString> names{name};
    // A shell player loads the sound SWF its query names, beside itself.
    const QString sound = QUrlQuery(query).queryItemValue(QStringLiteral("soundswf"), QUrl::FullyDecoded);
    if (!sound.isEmpty()) names.insert(sound);
    const int generation = CPreviewScheme::Instance()->SetMovie(player_, info.absolutePath(), names);
    movieUrl_ = CPreviewScheme::Url(QStringLiteral("movie/%1/%2/").arg(player_).arg(generation) +
                                    QString::fromStdString(UrlEncodeName(name.toStdString())));
    if (!query.isEmpty()) movieUrl_ += QLatin1Char('?') + query;
    ScheduleShow();
}

void CRuffleFlash::SetBGColor(const QString& colour) {
    if (colour == bgColour_ || !QColor::isValidColorName(colour)) return;
    bgColour_ = colour;
    page_->setBackgroundColor(QColor(bgColour_));
    ScheduleShow();
}

void CRuffleFlash::SetMenu(bool on) {
    if (on == menu_) return;
    menu_ = on;
    ScheduleShow();
}

void CRuffleFlash::ScheduleShow() {
    if (showPending_) return;
    showPending_ = true;
    QTimer::singleShot(0, this, [this] {
        showPending_ = false;
        Show();
    });
}

void CRuffleFlash::Show() {
    if (!pageReady_) return;  // shown when the page has loaded
    const QJsonObject state{{QStringLiteral("url"), movieUrl_},
                            {QStringLiteral("bg"), bgColour_},
                            {QStringLiteral("menu"), menu_}};
    page_->runJavaScript(QStringLiteral("window.tonvela && window.tonvela.show(%1);")
                             .arg(QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact))));
}

void CRuffleFlash::OnConsoleMessage(const QString& message, const QString& source) {
    // Only the page's own line counts; a movie's trace output comes from the player's scripts.
    if (!message.startsWith(QLatin1String(kMovieLoadedPrefix)) ||
        QUrl(source) != QUrl(CPreviewScheme::Url(QStringLiteral("index.html"))))
        return;
    const QJsonDocument doc =
        QJsonDocument::fromJson(message.mid(qsizetype(sizeof kMovieLoadedPrefix) - 1).toUtf8());
    if (doc.isObject()) emit movieLoaded(doc.object().toVariantMap());
}

}  // namespace tonvela
