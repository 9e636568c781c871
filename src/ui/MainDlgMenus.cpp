// The main window's menus (the list's context menu and the help menu) and its shortcuts.
#include <QAction>
#include <QMenu>
#include <QShortcut>

#include "ui/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/MainDlgShared.h"
#include "ui/SortListCtrl.h"
#include "ui/WaitCursor.h"

namespace tonvela {

using namespace main_dlg;

void CMainDlg::BuildMenus() {
    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("listMenu"));
    auto add = [this](QMenu* menu, const char* text, const char* name, auto slot) {
        QAction* a = menu->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    act_.play = add(listMenu_, "&Play", "play", &CMainDlg::OnPlay);
    act_.browseFolder = add(listMenu_, "&Browse Folder", "browseFolder", &CMainDlg::OnBrowseFolder);
    listMenu_->addSeparator();
    act_.playSwf = add(listMenu_, "Play &SWF", "playSwf", &CMainDlg::OnPlaySwf);
    act_.browseSwfFolder = add(listMenu_, "Browse SWF F&older", "browseSwfFolder", &CMainDlg::OnBrowseSwfFolder);
    act_.openHtml = add(listMenu_, "Open &HTML File", "openHtml", &CMainDlg::OnOpenHtml);
    act_.viewHtml = add(listMenu_, "View HTML Co&de", "viewHtml", &CMainDlg::OnViewHtml);
    listMenu_->addSeparator();
    act_.convertSelected = add(listMenu_, "&Convert to SWF", "convertSelected", &CMainDlg::OnConvertSelected);
    act_.convertAll = add(listMenu_, "Con&vert All to SWF", "convertAll", &CMainDlg::OnConvertAll);
    listMenu_->addSeparator();
    act_.addFiles = add(listMenu_, "&Add Files...\tCtrl+O", "addFiles", &CMainDlg::OnAddFiles);
    act_.addFolder = add(listMenu_, "Add &Folder...", "addFolder", &CMainDlg::OnAddFolder);
    listMenu_->addSeparator();
    act_.remove = add(listMenu_, "&Remove\tDel", "remove", &CMainDlg::OnRemove);
    act_.removeAll = add(listMenu_, "Remove Al&l", "removeAll", &CMainDlg::OnRemoveAll);
    AddUndoItems(listMenu_);
    listMenu_->addSeparator();
    AddWhyItem(listMenu_);

    helpMenu_ = new QMenu(this);
    helpMenu_->setObjectName(QStringLiteral("helpMenu"));
    add(helpMenu_, "&Help Topics\tF1", "helpTopics", &CMainDlg::OnHelpTopics);
    helpMenu_->addSeparator();
    // The maker's pages are the manual's: we keep no web site or mail form.
    QAction* tell = helpMenu_->addAction(QStringLiteral("&Tell A Friend"));
    connect(tell, &QAction::triggered, this, [this] {
        CWaitCursor wait;
        desktop_->OpenDocument(
            "mailto:?subject=Tonvela&body=Tonvela%20turns%20audio%20files%20into%20SWF%20movies%20for%20web%20pages.");
    });
    QAction* feedback = helpMenu_->addAction(QStringLiteral("&Feedback and Support"));
    connect(feedback, &QAction::triggered, this, [this] { OpenHelpPage(kHelpFaq); });
    helpMenu_->addSeparator();
    add(helpMenu_, "&About...", "about", &CMainDlg::OnAbout);

    auto shortcut = [this](QKeySequence keys, void (CMainDlg::*slot)()) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &CMainDlg::OnAddFiles);
    shortcut(QKeySequence(Qt::Key_Delete), &CMainDlg::OnRemove);
    shortcut(QKeySequence(Qt::Key_F1), &CMainDlg::OnHelpTopics);
    // As the desktops' programs quit: Ctrl+Q beside Alt+F4, through the same close as the
    // close box (refused while a batch or an add runs).
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setObjectName(QStringLiteral("quitShortcut"));
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
}

void CMainDlg::AddUndoItems(QMenu* menu) {
    act_.undoRemove = menu->addAction(QStringLiteral("&Undo Remove\tCtrl+Z"));
    act_.undoRemove->setObjectName(QStringLiteral("undoRemove"));
    connect(act_.undoRemove, &QAction::triggered, this, &CMainDlg::OnUndoRemove);
    auto* keys = new QShortcut(QKeySequence::Undo, this);
    keys->setContext(Qt::WindowShortcut);
    connect(keys, &QShortcut::activated, this, &CMainDlg::OnUndoRemove);
}

void CMainDlg::UpdateListMenu() {
    const std::vector<int> selected = list_->SelectedRows();
    const CFileListEntry* first = FirstSelected();
    const bool any = !selected.empty();
    const bool hasSwf = first && !first->swfPath.empty();
    act_.play->setEnabled(selected.size() == 1);
    act_.browseFolder->setEnabled(selected.size() == 1);
    act_.playSwf->setEnabled(hasSwf);
    act_.browseSwfFolder->setEnabled(hasSwf);
    act_.openHtml->setEnabled(hasSwf && !first->htmlPath.empty());
    act_.viewHtml->setEnabled(hasSwf && !first->htmlPath.empty());
    act_.convertSelected->setEnabled(any);
    act_.remove->setEnabled(any);
    act_.convertAll->setEnabled(model_->rowCount() > 0);
    act_.removeAll->setEnabled(model_->rowCount() > 0);
    UpdateWhyItem();
    act_.undoRemove->setEnabled(model_->CanUndoRemove());
}

}  // namespace tonvela
