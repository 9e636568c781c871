// The main window's list handling: adding files and folders (from the dialogs, from drops and
// from the command line) and removing them.
#include <QDragEnterEvent>
#include <QDropEvent>
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
#include "ui/SortListCtrl.h"
#include "ui/WaitCursor.h"

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
    const CAddFailures failures = model_->AddPathList(paths, progress.get());
    if (model_->rowCount() > 0) list_->ScrollToRow(model_->rowCount() - 1);
    addProgress_ = nullptr;
    progress.reset();
    SetBusy(false);
    if (failures.Count() > 0) ShowAddFailures(failures);
}

void CMainDlg::OnAddFiles() {
    if (busy_) return;
    CWaitCursor wait;
    const QStringList chosen = desktop_->ChooseFiles(this);
    if (chosen.isEmpty()) return;
    std::vector<std::string> paths;
    for (const QString& p : chosen) paths.push_back(p.toStdString());
    AddPathList(paths, nullptr);
}

void CMainDlg::OnAddFolder() {
    if (busy_) return;
    const QString chosen = desktop_->ChooseFolder(this, QString::fromStdString(settings_.Folder));
    if (chosen.isEmpty()) return;
    std::string folder = chosen.toStdString();
    if (folder.back() != '/') folder += '/';
    settings_.Folder = folder;
    settings_.Save(store_, kSaveFolder);
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    if (!Search(*progress, [&](const SearchStop& stop) { CollectFiles(CollectFolders(folder, stop), paths, stop); }))
        return;
    AddPathList(paths, std::move(progress));
}

void CMainDlg::DropPaths(const QStringList& dropped) {
    if (busy_) return;
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    if (!Search(*progress, [&](const SearchStop& stop) {
            for (const QString& p : dropped) AddDroppedPath(p.toStdString(), paths, stop);
        }))
        return;
    AddPathList(paths, std::move(progress));
}
void CMainDlg::AddCommandLinePaths(const QStringList& given) {
    if (busy_ || given.isEmpty()) return;
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> named;
    for (const QString& p : given) named.push_back(p.toStdString());
    AddPathList(ExpandCommandLinePaths(named), std::move(progress));
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!busy_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
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
}

void CMainDlg::OnRemoveAll() {
    if (busy_) return;
    if (model_->rowCount() == 0) {
        ShowMessageBox(this, QString::fromUtf8(kNoFilesText), MessageIcon::Information);
        return;
    }
    model_->RemoveAll();
}

}  // namespace tonvela
