#include "ui/PreviewIntent.h"

#include <QAbstractItemView>
#include <QAction>
#include <QEvent>
#include <QItemSelectionModel>
#include <QMenu>

#include "ui/ShockwaveFlash.h"

namespace tonvela {

CPreviewIntent::CPreviewIntent(QAbstractItemView* list, std::function<bool()> converted, QWidget* optionsButton,
                               QMenu* listMenu, QAction* playSwf)
    : QObject(list), converted_(std::move(converted)), optionsButton_(optionsButton) {
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { CheckSelection(); });
    // A selected row that has just been converted counts as well.
    connect(list->model(), &QAbstractItemModel::dataChanged, this, [this] { CheckSelection(); });
    if (optionsButton_) optionsButton_->installEventFilter(this);
    if (listMenu && playSwf) {
        connect(listMenu, &QMenu::aboutToShow, this, [playSwf] {
            if (playSwf->isEnabled()) CShockwaveFlash::PreviewComing();
        });
        connect(playSwf, &QAction::hovered, this, [] { CShockwaveFlash::PreviewComing(); });
    }
}

void CPreviewIntent::CheckSelection() {
    if (converted_()) CShockwaveFlash::PreviewComing();
}

bool CPreviewIntent::eventFilter(QObject* watched, QEvent* event) {
    if (watched == optionsButton_ && (event->type() == QEvent::Enter || event->type() == QEvent::FocusIn))
        CShockwaveFlash::PreviewComing();
    return false;
}

}  // namespace tonvela
