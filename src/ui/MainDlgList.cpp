// The main window's list handling: adding files and folders (from the dialogs, from drops and
// from the command line) and removing them.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "convert/FolderSearch.h"
#include "ui/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/MainDlgShared.h"
#include "ui/MessageBox.h"
#include "ui/ProgressDlg.h"
#include "ui/SearchStopper.h"
#include "ui/SettingsNotSaved.h"
#include "ui/SortListCtrl.h"
#include "ui/UriListPaths.h"
#include "ui/WaitCursor.h"
#include "ui/WindowState.h"

namespace tonvela {

using namespace main_dlg;

std::unique_ptr<CProgressDlg> CMainDlg::OpenSearchProgress() {
    auto progress = std::make_unique<CProgressDlg>(this);
    progress->SetText("Searching files...");
    progress->Open();
    return progress;
}

bool CMainDlg::Search(CProgressDlg& progress, const std::function<void(const SearchStop&)>& search) {
    // The window stays alive during the search, so no other command may start meanwhile.
    SetBusy(true);
    addProgress_ = &progress;
    search(SearchStopFor(progress));
    addProgress_ = nullptr;
    SetBusy(false);
    return !progress.IsCancelled();  // a cancelled search adds nothing
}

void CMainDlg::AddPathList(const std::vector<std::string>& paths, std::unique_ptr<CProgressDlg> progress) {
    SetBusy(true);
    if (!progress) {
        progress = std::make_unique<CProgressDlg>(this);
        progress->Open();
    }
    addProgress_ = progress.get();
    const int before = model_->rowCount();
    const CAddFailures failures = model_->AddPathList(paths, progress.get());
    // New rows come at the end; a file that was listed already leaves the view where it was.
    if (model_->rowCount() > before) list_->ScrollToRow(model_->rowCount() - 1);
    addProgress_ = nullptr;
    progress.reset();
    SetBusy(false);
    if (failures.Count() > 0) ShowAddFailures(failures);
}

void CMainDlg::OnAddFiles() {
    if (busy_) return;
    CWaitCursor wait;
    const QString lastFolder = QString::fromStdString(store_.GetString(kWindowKey, kAddFilesFolderName).value_or(""));
    const QStringList chosen = desktop_->ChooseFiles(this, lastFolder);
    if (chosen.isEmpty()) return;
    // The dialog opens where the user last picked files, at the next start too.
    const QString folder = QFileInfo(chosen.constFirst()).absolutePath();
    if (folder != lastFolder) {
        store_.SetString(kWindowKey, kAddFilesFolderName, folder.toStdString());
        if (!store_.Save()) TellFoldersNotSaved(store_.SaveError());
    }
    std::vector<std::string> paths;
    for (const QString& p : chosen) paths.push_back(p.toStdString());
    AddPathList(paths, nullptr);
}

void CMainDlg::TellFoldersNotSaved(const std::string& why) {
    if (foldersNotSavedTold_) return;
    foldersNotSavedTold_ = true;
    ReportSettingsNotSaved(this, QStringLiteral("The folders of Add Files and Add Folder"), why);
}

void CMainDlg::OnAddFolder() {
    if (busy_) return;
    const QString chosen = desktop_->ChooseFolder(this, QString::fromStdString(settings_.Folder));
    if (chosen.isEmpty()) return;
    std::string folder = chosen.toStdString();
    if (folder.back() != '/') folder += '/';
    settings_.Folder = folder;
    bool saved = false;
    settings_.Save(store_, kSaveFolder, &saved);
    if (!saved) TellFoldersNotSaved(store_.SaveError());
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    if (!Search(*progress, [&](const SearchStop& stop) { CollectFiles(CollectFolders(folder, stop), paths, stop); }))
        return;
    AddPathList(paths, std::move(progress));
}

void CMainDlg::DropPaths(const std::vector<std::string>& dropped) {
    if (busy_) return;
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    if (!Search(*progress, [&](const SearchStop& stop) {
            for (const std::string& p : dropped) AddDroppedPath(p, paths, stop);
        }))
        return;
    AddPathList(paths, std::move(progress));
}

void CMainDlg::AddCommandLinePaths(const QStringList& given) {
    std::vector<std::string> named;
    for (const QString& p : given) named.push_back(QFile::encodeName(p).toStdString());
    AddCommandLinePaths(named);
}

void CMainDlg::AddCommandLinePaths(const std::vector<std::string>& named) {
    if (busy_ || named.empty()) return;
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    if (!Search(*progress, [&](const SearchStop& stop) { paths = ExpandCommandLinePaths(named, stop); })) return;
    AddPathList(paths, std::move(progress));
}

namespace {

// A drop is taken as a copy, or a link where the source offers no copy, never as a move: a file
// manager told "moved" may delete the user's files. False when the source offers neither.
bool TakeAsCopy(QDropEvent* event) {
    const Qt::DropActions offered = event->possibleActions();
    if (offered & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (offered & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    event->accept();
    return true;
}

}  // namespace

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (busy_ || !event->mimeData()->hasUrls() || !TakeAsCopy(event)) event->ignore();
}

void CMainDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (busy_ || !event->mimeData()->hasUrls() || !TakeAsCopy(event)) event->ignore();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    // The names as the file manager sent them, byte for byte; the toolkit's URLs only where no
    // URI list came.
    const QMimeData* mime = event->mimeData();
    const QString uriList = QStringLiteral("text/uri-list");
    std::vector<std::string> paths;
    if (mime->hasFormat(uriList)) {
        paths = LocalPathsOfUriList(mime->data(uriList).toStdString());
    } else {
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    if (paths.empty() || !TakeAsCopy(event)) {
        event->ignore();
        return;
    }
    // After the drop is released: the file manager must not wait for our search.
    QMetaObject::invokeMethod(this, [this, paths] { DropPaths(paths); }, Qt::QueuedConnection);
}

void CMainDlg::OnRemove() {
    if (busy_) return;
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) {
        ShowMessageBox(this, QString::fromUtf8(kNoSelectionText), MessageIcon::Information);
        return;
    }
    model_->RemoveRows(rows);
    // The row that took the first removed row's place stays selected, so Del goes on removing.
    if (model_->rowCount() > 0) list_->SelectOnly(std::min(rows.front(), model_->rowCount() - 1));
}

void CMainDlg::OnRemoveAll() {
    if (busy_) return;
    if (model_->rowCount() == 0) {
        ShowMessageBox(this, QString::fromUtf8(kNoFilesText), MessageIcon::Information);
        return;
    }
    model_->RemoveAll();
}

void CMainDlg::OnUndoRemove() {
    if (busy_ || !model_->CanUndoRemove()) return;
    const std::vector<int> rows = model_->UndoRemove();
    if (rows.empty()) return;
    list_->clearSelection();
    for (int r : rows)
        list_->selectionModel()->select(model_->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list_->selectionModel()->setCurrentIndex(model_->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
    list_->ScrollToRow(rows.front());
}

}  // namespace tonvela
