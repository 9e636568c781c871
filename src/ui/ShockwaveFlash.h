// The SWF player component shared by the preview window and the SWF options page: shows a
// SWF file given by its path, takes a background colour, and has no context menu.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

namespace tonvela {

class CShockwaveFlash : public QWidget {
    Q_OBJECT
public:
    // The component, or null when it cannot be created (built without the preview, or the
    // web player's files missing from the data folder).
    static std::unique_ptr<CShockwaveFlash> Create(QWidget* parent);
    ~CShockwaveFlash() override = default;

    // Loads a movie: a file path, or a file path followed by a query string ("?a=1&b=2").
    virtual void LoadMovie(int layer, const QString& movie) = 0;
    // "#RRGGBB".
    virtual void SetBGColor(const QString& colour) = 0;
    virtual void SetMenu(bool on) = 0;

protected:
    explicit CShockwaveFlash(QWidget* parent) : QWidget(parent) {}
};

}  // namespace tonvela
