// Watches the main window for signs that the user is about to preview a movie: a converted row
// selected, the pointer or the focus on the Options button, the list's menu opened with Play SWF
// in it or the pointer on that item. Each sign has the preview's player made ready
// (CShockwaveFlash::PreviewComing), so that the preview opens at once without the player
// costing anything in a session that never previews.
#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;
class QAction;
class QMenu;
class QWidget;

namespace tonvela {

class CPreviewIntent : public QObject {
public:
    // converted: whether the list's selection holds a row with a SWF file.
    CPreviewIntent(QAbstractItemView* list, std::function<bool()> converted, QWidget* optionsButton, QMenu* listMenu,
                   QAction* playSwf);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CheckSelection();

    std::function<bool()> converted_;
    QWidget* optionsButton_;
};

}  // namespace tonvela
