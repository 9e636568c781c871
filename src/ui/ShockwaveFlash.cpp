#include "ui/ShockwaveFlash.h"

#include <QFileInfo>

#include "ui/ColourText.h"

#ifdef TONVELA_HAVE_PREVIEW
#include "ui/webengine/RuffleFlash.h"
#include "ui/webengine/WarmPlayer.h"
#endif

namespace tonvela {

std::unique_ptr<CShockwaveFlash> CShockwaveFlash::Create(QWidget* parent) {
#ifdef TONVELA_HAVE_PREVIEW
    return CRuffleFlash::Create(parent);
#else
    (void)parent;
    return nullptr;
#endif
}

void CShockwaveFlash::SetHome(QWidget* window) {
#ifdef TONVELA_HAVE_PREVIEW
    CWarmPlayer::SetHome(window);
#else
    (void)window;
#endif
}

void CShockwaveFlash::PreviewComing() {
#ifdef TONVELA_HAVE_PREVIEW
    // Looking at the data folder starts the web engine: not for a window that keeps no player.
    if (!CWarmPlayer::HasHome()) return;
    if (CWarmPlayer::Exists() || CRuffleFlash::UseDataFolder()) CWarmPlayer::PreviewComing();
#endif
}

void CShockwaveFlash::LoadMovieFile(const std::string& file, const std::string& query) {
    LoadMovie(0, QString::fromStdString(query.empty() ? file : file + '?' + query));
}

QString CShockwaveFlash::ColourText(std::uint32_t colour) { return QLatin1Char('#') + tonvela::ColourText(colour); }

std::pair<QString, QString> CShockwaveFlash::SplitMovie(const QString& movie) {
    if (QFileInfo(movie).isFile()) return {movie, {}};
    for (qsizetype at = movie.indexOf(QLatin1Char('?')); at >= 0; at = movie.indexOf(QLatin1Char('?'), at + 1))
        if (QFileInfo(movie.left(at)).isFile()) return {movie.left(at), movie.mid(at + 1)};
    const qsizetype first = movie.indexOf(QLatin1Char('?'));
    if (first < 0) return {movie, {}};
    return {movie.left(first), movie.mid(first + 1)};
}

}  // namespace tonvela
