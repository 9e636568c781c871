// The player component on the web engine: a QWebEngineView showing the player page of the
// preview scheme, which runs the Ruffle web player from the data folder's ruffle/.
#pragma once

#include <QString>
#include <memory>

#include "ui/ShockwaveFlash.h"

class QWebEngineView;

namespace tonvela {

class CPlayerWebPage;

class CRuffleFlash final : public CShockwaveFlash {
    Q_OBJECT
public:
    // Null when the data folder has no complete ruffle/ folder.
    static std::unique_ptr<CShockwaveFlash> Create(QWidget* parent);
    ~CRuffleFlash() override;

    void LoadMovie(int layer, const QString& movie) override;
    void SetBGColor(const QString& colour) override;
    void SetMenu(bool on) override;

    QWebEngineView* View() const { return view_; }

private:
    explicit CRuffleFlash(QWidget* parent);
    // Coalesces changes made in one go (LoadMovie then SetBGColor) into one load.
    void ScheduleShow();
    void Show();
    void OnConsoleMessage(const QString& message, const QString& source);

    QWebEngineView* view_ = nullptr;
    CPlayerWebPage* page_ = nullptr;
    int player_ = 0;
    bool pageReady_ = false;
    bool showPending_ = false;
    QString movieUrl_;
    QString bgColour_ = QStringLiteral("#FFFFFF");
    bool menu_ = true;
};

}  // namespace tonvela
