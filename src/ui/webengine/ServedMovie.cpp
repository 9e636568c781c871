#include "ui/webengine/ServedMovie.h"

#include <QList>
#include <QString>

#include "ui/webengine/PreviewScheme.h"

namespace tonvela {

namespace {

// A leading "." keeps these apart from every name served by its own.
constexpr char kOwnMovieName[] = ".movie.swf";
constexpr char kOwnSoundName[] = ".sound.swf";
constexpr char kSoundKey[] = "soundswf=";

bool ValidUtf8(const QByteArray& bytes) { return QString::fromUtf8(bytes).toUtf8() == bytes; }

// The name a file is served by: its own when a URL can carry it, else fallback.
QByteArray UrlName(const QByteArray& name, const char* fallback) {
    return CPreviewScheme::PlainName(name) && ValidUtf8(name) ? name : QByteArray(fallback);
}

}  // namespace

ServedMovie ServeMovie(const QByteArray& path, const QByteArray& query) {
    ServedMovie out;
    const QByteArray folder = path.left(path.lastIndexOf('/') + 1);
    out.movieName = UrlName(path.mid(folder.size()), kOwnMovieName);
    out.files.insert(out.movieName, path);
    // A shell player loads the sound SWF its query names, beside itself.
    QList<QByteArray> items = query.split('&');
    for (QByteArray& item : items) {
        if (!item.startsWith(kSoundKey)) continue;
        const QByteArray sound = QByteArray::fromPercentEncoding(item.mid(qsizetype(sizeof kSoundKey) - 1).replace('+', ' '));
        // Only a file beside the player; a hidden one is served under our own name.
        if (sound.isEmpty() || sound == "." || sound == ".." || sound.contains('/') || sound.contains('\0'))
            continue;
        const QByteArray name = UrlName(sound, kOwnSoundName);
        out.files.insert(name, folder + sound);
        if (name != sound) item = kSoundKey + name;
    }
    out.query = items.join('&');
    return out;
}

}  // namespace tonvela
