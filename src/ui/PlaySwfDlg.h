// The SWF preview: shows a converted entry's movie in a small modal window.
#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace tonvela {

class CConvertOptions;
class CShockwaveFlash;
struct CFileListEntry;

// The Play SWF command for one entry: builds the movie reference (the shell-player query for
// pairs, with the entry's convertedSeconds), runs the preview window, and when the player
// cannot be created asks whether to open the entry's page or the player's download address.
void PlaySwf(const CFileListEntry& entry, const CConvertOptions& settings, QWidget* parent);

// What the preview loads for an entry: its SWF path, or for a shell-player pair
// "player?soundswf=sound&autoplay=A&loops=L&duration=S" with the player's full path.
std::string PlaySwfMovieReference(const CFileListEntry& entry, const CConvertOptions& settings);
// The preview window's title: the sound's SWF file by name first, as a desktop's viewers do.
QString PlaySwfTitle(const CFileListEntry& entry);

// The frame size in pixels from a SWF's header (compressed or not); nothing for other files.
std::optional<QSize> SwfFrameSize(const QString& path);

class CPlaySwfDlg : public QDialog {
    Q_OBJECT
public:
    // exec()'s result when the player cannot be created.
    static constexpr int kNoPlayer = 3;

    CPlaySwfDlg(QString movie, std::uint32_t bkgColour, QWidget* parent);
    ~CPlaySwfDlg() override;

    // Creates the player, loads the movie and sizes the window to it; false (and the window
    // not to be shown) when the player cannot be created. exec() calls it when not done yet.
    bool SetUp();
    int exec() override;

    CShockwaveFlash* Flash() const { return flash_.get(); }
    // The movie by its path's bytes (and its query), for paths a QString cannot carry.
    void SetMovieFile(std::string file, std::string query) { movieFile_ = std::move(file), movieQuery_ = std::move(query); }

protected:
    // Esc closes the window wherever the focus is, inside the player too (its web view would
    // otherwise take the key).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Puts the player at the placeholder's origin with the given size (the placeholder's when
    // empty) and fits the window around it with equal margins.
    void PlaceFlash(QSize movie);
    QRect Placeholder() const;

    QString movie_;
    std::uint32_t bkgColour_;
    std::unique_ptr<CShockwaveFlash> flash_;
    bool setUp_ = false;
    bool sizeKnown_ = false;
    std::string movieFile_, movieQuery_;
};

}  // namespace tonvela
