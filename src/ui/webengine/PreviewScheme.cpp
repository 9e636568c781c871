#include "ui/webengine/PreviewScheme.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "platform/OpenRegularFile.h"
#include "ui/webengine/PlayerPage.h"
#include "ui/webengine/QuietEngine.h"

namespace tonvela {

namespace {

// Only the page's own scheme (and what the engine makes from it) may be loaded: a movie
// cannot reach the network or other files.
class CPreviewInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme != QLatin1String(kPreviewScheme) && scheme != QLatin1String("blob") &&
            scheme != QLatin1String("data"))
            info.block(true);
    }
};

QByteArray MimeTypeOf(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("js")) return "text/javascript";
    if (suffix == QLatin1String("wasm")) return "application/wasm";
    if (suffix == QLatin1String("swf")) return "application/x-shockwave-flash";
    if (suffix == QLatin1String("html")) return "text/html";
    return "application/octet-stream";
}

void StartSchemeRegistration() {
    QuietWebEngine();
    CPreviewScheme::RegisterScheme();
}

}  // namespace

// Before any web engine object exists, whoever creates the application object.
Q_COREAPP_STARTUP_FUNCTION(StartSchemeRegistration)

void CPreviewScheme::RegisterScheme() {
    if (QWebEngineUrlScheme::schemeByName(kPreviewScheme).name() == kPreviewScheme) return;
    QWebEngineUrlScheme scheme(kPreviewScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Secure: a secure context for the player's audio; CORS: XMLHttpRequest to itself.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QWebEngineProfile* CPreviewScheme::Profile() {
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        RegisterScheme();
        // No storage name: off the record, nothing written to disk.
        profile = new QWebEngineProfile(QCoreApplication::instance());
        profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        QWebEngineSettings* s = profile->settings();
        // The preview plays sound at once, as the movie says, without a click first.
        s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        profile->installUrlSchemeHandler(kPreviewScheme, new CPreviewScheme(profile));
        profile->setUrlRequestInterceptor(new CPreviewInterceptor(profile));
    }
    return profile;
}

CPreviewScheme* CPreviewScheme::Instance() {
    return static_cast<CPreviewScheme*>(
        const_cast<QWebEngineUrlSchemeHandler*>(Profile()->urlSchemeHandler(kPreviewScheme)));
}

QString CPreviewScheme::Url(const QString& path) {
    return QLatin1String(kPreviewScheme) + QLatin1String("://") + QLatin1String(kPreviewHost) + QLatin1Char('/') +
           path;
}

bool CPreviewScheme::PlainName(const QByteArray& name) {
    return !name.isEmpty() && !name.startsWith('.') && !name.contains('/') && !name.contains('\0');
}

int CPreviewScheme::SetMovie(int player, const QHash<QByteArray, QByteArray>& files) {
    Movie& m = movies_[player];
    m.files.clear();
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (!it.key().isEmpty() && !it.key().contains('/')) m.files.insert(it.key(), it.value());
    m.generation = ++lastGeneration_;
    return m.generation;
}

QString CPreviewScheme::MovieUrl(int player, int generation, const QByteArray& name) {
    return Url(QStringLiteral("movie/%1/%2/").arg(player).arg(generation) + QString::fromLatin1(name.toPercentEncoding()));
}

QByteArray CPreviewScheme::FileFor(const QList<QByteArray>& parts) const {
    if (parts.size() == 1 && parts[0] == "index.html") return QByteArrayLiteral(":page");
    if (parts.size() == 2 && parts[0] == "ruffle" && PlainName(parts[1]) && !ruffleFolder_.isEmpty())
        return QFile::encodeName(ruffleFolder_) + '/' + parts[1];
    // movie/<player>/<generation>/<name>
    if (parts.size() == 4 && parts[0] == "movie") {
        const auto it = movies_.constFind(parts[1].toInt());
        if (it == movies_.cend() || QByteArray::number(it->generation) != parts[2]) return {};
        return it->files.value(parts[3]);
    }
    return {};
}

void CPreviewScheme::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    if (job->requestMethod() != "GET" || url.host() != QLatin1String(kPreviewHost)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    // Split before decoding, so an encoded "/" stays inside its name (and is refused there).
    // Names are compared as bytes: a file name need not be valid UTF-8.
    QList<QByteArray> parts;
    for (const QByteArray& p : url.path(QUrl::FullyEncoded).toLatin1().split('/'))
        if (!p.isEmpty()) parts << QByteArray::fromPercentEncoding(p);
    const QByteArray file = FileFor(parts);
    if (file.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    if (file == ":page") {
        auto* buffer = new QBuffer(job);
        buffer->setData(PlayerPageHtml());
        buffer->open(QIODevice::ReadOnly);
        job->reply("text/html", buffer);
        return;
    }
    // Read at request time, so a movie rewritten in place is shown as it is now. Opened by its
    // bytes; regular files only (non-blocking, so a FIFO cannot hang the request).
    CUniqueFd fd = OpenRegularFile(std::string(file.constData(), static_cast<std::size_t>(file.size())));
    if (!fd.IsOpen()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* device = new QFile(job);
    if (!device->open(fd.Get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        delete device;
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    fd.Release();
    job->reply(MimeTypeOf(QString::fromLatin1(parts.last())), device);
}

}  // namespace tonvela
