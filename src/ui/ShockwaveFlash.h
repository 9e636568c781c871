// The SWF player component shared by the preview window and the SWF options page: shows a
// SWF file given by its path, takes a background colour, and has no context menu.
#pragma once

#include <QString>
#include <QVariantMap>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace tonvela {

class CShockwaveFlash : public QWidget {
    Q_OBJECT
public:
    // The component, or null when it cannot be created (built without the preview, or the
    // web player's files missing from the data folder).
    static std::unique_ptr<CShockwaveFlash> Create(QWidget* parent);
    // The player, once made ready, waits as a hidden child of window (the main window). Nothing
    // is made yet: a program nobody previews with starts no web engine.
    static void SetHome(QWidget* window);
    // The user has shown that a preview is coming (a converted row selected, the options
    // opened, the Play SWF command about to be chosen): has the player made ready, so that the
    // next component shows its movie at once, and keeps a ready one a while longer. Does
    // nothing without the preview or before SetHome.
    static void PreviewComing();
    ~CShockwaveFlash() override = default;

    // Loads a movie: a file path, or a file path followed by a query string ("?a=1&b=2").
    // Loading the same path again reloads it from the file.
    virtual void LoadMovie(int layer, const QString& movie) = 0;
    // The same for a file named by its path's bytes (which need not be valid UTF-8) and a query
    // without its "?" (may be empty).
    virtual void LoadMovieFile(const std::string& file, const std::string& query);
    // "#RRGGBB"; a loaded movie is shown again with it.
    virtual void SetBGColor(const QString& colour) = 0;
    // The player's own context menu; false removes it.
    virtual void SetMenu(bool on) = 0;

    // "#RRGGBB" of a colour stored with red in the low byte.
    static QString ColourText(std::uint32_t colour);
    // A movie reference split into its file path and query: at the first "?" before which the
    // text names an existing file (a whole text naming a file has no query); when none does,
    // at the first "?".
    static std::pair<QString, QString> SplitMovie(const QString& movie);

signals:
    // The player has read the movie's header: width and height (pixels), frameRate, numFrames,
    // swfVersion, backgroundColor ("#RRGGBB", the movie's own) as the player reports them.
    void movieLoaded(const QVariantMap& metadata);

protected:
    explicit CShockwaveFlash(QWidget* parent) : QWidget(parent) {}
};

}  // namespace tonvela
