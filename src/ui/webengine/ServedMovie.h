// What the player component asks the preview scheme to serve for one movie: the movie under a
// name a URL can carry, and for a shell player the sound SWF its query names, beside it.
#pragma once

#include <QByteArray>
#include <QHash>

namespace tonvela {

struct ServedMovie {
    QHash<QByteArray, QByteArray> files;  // URL name -> the file's path as bytes
    QByteArray movieName;                 // the movie's URL name
    QByteArray query;                     // the query as the player reads it, names replaced
};

// path: the movie's absolute path as bytes; query: the movie reference's query, undecoded.
// Files whose names a URL cannot carry (not valid UTF-8, or hidden like ".intro.swf") are
// served under names of the component's own, and the query says those names.
ServedMovie ServeMovie(const QByteArray& path, const QByteArray& query);

}  // namespace tonvela
