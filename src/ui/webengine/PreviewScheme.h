// The preview's own URL scheme: serves the player page, the Ruffle files from the data folder
// and, for each player component, only the movie it was asked to show and the sound SWF its
// query names. Nothing else on the disk is reachable from the page. Movie files are held by
// their paths' bytes, so a path that is not valid UTF-8 is served as well.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

namespace tonvela {

inline constexpr char kPreviewScheme[] = "tonvela-preview";
inline constexpr char kPreviewHost[] = "player";

class CPreviewScheme : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    explicit CPreviewScheme(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

    // Registers the scheme with the web engine; must run before the engine starts (it does,
    // from QCoreApplication's constructor). Repeated calls do nothing.
    static void RegisterScheme();
    // The one profile of the program: in memory only, the scheme installed, requests to any
    // other scheme blocked. Created on first use, lives as long as the application object.
    static QWebEngineProfile* Profile();
    static CPreviewScheme* Instance();

    void SetRuffleFolder(const QString& folder) { ruffleFolder_ = folder; }
    // A new player component and its movie files; RemovePlayer forgets them.
    int AddPlayer() { return ++lastPlayer_; }
    void RemovePlayer(int player) { movies_.remove(player); }
    // The files player may read from now on: URL name (no "/"; names starting with "." are the
    // component's own, never a folder's) -> the file's path as bytes. Returns the movie's generation, part of its URLs, so a
    // reload never meets an older copy.
    int SetMovie(int player, const QHash<QByteArray, QByteArray>& files);
    // "movie/<player>/<generation>/" + name, for the files of SetMovie.
    static QString MovieUrl(int player, int generation, const QByteArray& name);
    // Whether a name may stand in a movie URL: not empty, no "/", no zero byte, no leading ".".
    static bool PlainName(const QByteArray& name);

    // "tonvela-preview://player/" + path.
    static QString Url(const QString& path);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    struct Movie {
        QHash<QByteArray, QByteArray> files;
        int generation = 0;
    };
    // The file (path bytes) behind a decoded path, or empty when the path names nothing the
    // page may read.
    QByteArray FileFor(const QList<QByteArray>& parts) const;

    QString ruffleFolder_;
    QHash<int, Movie> movies_;
    int lastPlayer_ = 0;
    int lastGeneration_ = 0;
};

}  // namespace tonvela
