// The player component on the web engine: lends the warm player (CWarmPlayer) for as long as
// it lives and gives it back when its window closes. Says so when the player's page process
// ends, and loads the movie again on the next preview.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <memory>

#include "ui/ShockwaveFlash.h"

class QLabel;
class QWebEngineView;

namespace tonvela {

class CWarmPlayer;

class CRuffleFlash final : public CShockwaveFlash {
    Q_OBJECT
public:
    // Null when the data folder has no complete ruffle/ folder.
    static std::unique_ptr<CShockwaveFlash> Create(QWidget* parent);
    // Whether the data folder has a complete ruffle/ folder; then the scheme serves it.
    static bool UseDataFolder();
    ~CRuffleFlash() override;

    void LoadMovie(int layer, const QString& movie) override;
    void LoadMovieFile(const std::string& file, const std::string& query) override;
    void SetBGColor(const QString& colour) override;
    void SetMenu(bool on) override;

    QWebEngineView* View() const;

private:
    explicit CRuffleFlash(QWidget* parent);
    // Coalesces changes made in one go (LoadMovie then SetBGColor) into one load.
    void ScheduleShow();
    void Show();
    void OnPageProcessEnded();

    QPointer<CWarmPlayer> player_;
    QPointer<QLabel> ended_;  // the message while the page process has ended
    bool showPending_ = false;
    QString movieUrl_;
    QString bgColour_ = QStringLiteral("#FFFFFF");
    bool menu_ = true;
};

}  // namespace tonvela
