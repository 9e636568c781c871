// The page that hosts the Ruffle web player inside the preview component.
#pragma once

#include <QByteArray>

namespace tonvela {

// The page's HTML. It loads ruffle/ruffle.js beside it and offers tonvela.show({url, bg, menu})
// to (re)load a movie (an empty url shows none); when the player has read a movie's header it
// logs kMovieLoadedPrefix + the metadata as JSON. tonvela.warm() has Ruffle compiled without a
// movie of the user's and logs kWarmedLine when it is.
QByteArray PlayerPageHtml();

inline constexpr char kMovieLoadedPrefix[] = "tonvela-loaded ";
inline constexpr char kWarmedLine[] = "tonvela-warm";

}  // namespace tonvela
