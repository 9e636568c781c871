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

// A path component the page may use as a file name: no folder parts, no hidden names.
bool PlainName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && !name.contains(QLatin1Char('/')) &&
           !name.contains(QChar(0));
}

void StartSchemeRegistration() { CPreviewScheme::RegisterScheme(); }

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

int CPreviewScheme::SetMovie(int player, const QString& folder, const QSet<QString>& names) {
    Movie& m = movies_[player];
    m.folder = folder;
    m.names = names;
    m.generation = ++lastGeneration_;
    return m.generation;
}

QString CPreviewScheme::FileFor(const QStringList& parts) const {
    if (parts.size() == 1 && parts[0] == QLatin1String("index.html")) return QStringLiteral(":page");
    if (parts.size() == 2 && parts[0] == QLatin1String("ruffle") && PlainName(parts[1]) && !ruffleFolder_.isEmpty())
        return ruffleFolder_ + QLatin1Char('/') + parts[1];
    // movie/<player>/<generation>/<name>
    if (parts.size() == 4 && parts[0] == QLatin1String("movie")) {
        const auto it = movies_.constFind(parts[1].toInt());
        if (it == movies_.cend() || QString::number(it->generation) != parts[2]) return {};
        if (!PlainName(parts[3]) || !it->names.contains(parts[3])) return {};
        return it->folder + QLatin1Char('/') + parts[3];
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
    QStringList parts;
    for (const QString& p : url.path(QUrl::FullyEncoded).split(QLatin1Char('/'), Qt::SkipEmptyParts))
        parts << QUrl::fromPercentEncoding(p.toLatin1());
    const QString file = FileFor(parts);
    if (file.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    QIODevice* device = nullptr;
    if (file == QLatin1String(":page")) {
        auto* buffer = new QBuffer(job);
        buffer->setData(PlayerPageHtml());
        device = buffer;
    } else {
        // Regular files only, opened without blocking: a FIFO would hang the request.
        CUniqueFd fd = OpenRegularFile(QFile::encodeName(file).toStdString());
        if (!fd.IsOpen()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* f = new QFile(job);
        if (!f->open(fd.Get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            delete f;
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        fd.Release();
        job->reply(MimeTypeOf(parts.last()), f);
        return;
    }
    // Read at request time, so a movie rewritten in place is shown as it is now.
    if (!device->open(QIODevice::ReadOnly)) {
        delete device;
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    job->reply(MimeTypeOf(parts.last()), device);
}

}  // namespace tonvela
