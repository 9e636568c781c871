// The main window's conversion commands: a batch of the chosen rows on a worker, shown in the
// batch's progress window.
#include <algorithm>

#include "ui/BatchWorker.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/FailedFilesDlg.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/MainDlgShared.h"
#include "ui/MessageBox.h"
#include "ui/SortListCtrl.h"

namespace tonvela {

using namespace main_dlg;

CConvertProgressDlg* CMainDlg::ConvertProgress() const { return convertProgress_.data(); }

void CMainDlg::OnConvertAll() {
    if (busy_) return;
    if (model_->rowCount() == 0) {
        ShowMessageBox(this, QString::fromUtf8(kNoFilesText), MessageIcon::Information);
        return;
    }
    std::vector<int> rows;
    for (int r = 0; r < model_->rowCount(); ++r) rows.push_back(r);
    ConvertRows(rows);
}

void CMainDlg::OnConvertSelected() {
    if (busy_) return;
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) {
        ShowMessageBox(this, QString::fromUtf8(kNoSelectionText), MessageIcon::Information);
        return;
    }
    ConvertRows(rows);
}

void CMainDlg::ConvertRows(const std::vector<int>& rows) {
    std::vector<BatchItem> items;
    for (int r : rows) items.push_back({&model_->Entry(r), static_cast<std::size_t>(r)});
    SetBusy(true);

    // Made now so the batch knows the bar's width; shown when the batch opens its progress.
    const int jobs = std::clamp(settings_.ConvertJobs, 1, static_cast<int>(std::max<std::size_t>(items.size(), 1)));
    convertProgress_ = new CConvertProgressDlg(this, jobs);
    worker_ = std::make_unique<CBatchWorker>(std::move(items), settings_, jobs,
                                             convertProgress_->FileBarWidth(), *desktop_, this);
    CBatchWorker* w = worker_.get();
    CConvertProgressDlg* dlg = convertProgress_;
    connect(dlg, &CConvertProgressDlg::CancelClicked, w, &CBatchWorker::RequestCancel);
    connect(w, &CBatchWorker::BatchShown, dlg, &CConvertProgressDlg::ShowBatch);
    connect(w, &CBatchWorker::ProgressOpened, dlg, &CConvertProgressDlg::Open);
    connect(w, &CBatchWorker::ProgressClosed, dlg, &QWidget::close);
    connect(w, &CBatchWorker::StatusChanged, this,
            [this](int row, const QString& text) { model_->SetStatus(row, text.toStdString()); });
    connect(w, &CBatchWorker::ReasonChanged, this,
            [this](int row, const QString& reason) { model_->SetReason(row, reason.toStdString()); });
    connect(w, &CBatchWorker::ScrollRequested, this, [this](int row) { list_->ScrollToRow(row); });
    connect(w, &CBatchWorker::WaitChanged, this, [this](bool on) {
        if (on)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    });
    connect(w, &CBatchWorker::Finished, this, &CMainDlg::OnBatchFinished);
    w->Start();
}

CFailedFilesDlg* CMainDlg::FailedFiles() const { return failedFiles_.data(); }

void CMainDlg::OnBatchFinished() {
    std::vector<CFailedFilesDlg::Failure> failures;
    for (const CBatchWorker::Failure& f : worker_->Failures()) failures.push_back({f.row, f.path, f.status});
    const std::size_t total = worker_->Total();
    worker_.reset();  // the thread has ended; this joins it
    if (convertProgress_) convertProgress_->close();  // never shown when the template failed
    unsetCursor();
    SetBusy(false);
    list_->setFocus();
    if (!failures.empty()) ShowFailedFiles(failures, total);
    emit BatchFinished();
}

void CMainDlg::ShowFailedFiles(const std::vector<CFailedFilesDlg::Failure>& failures, std::size_t total) {
    if (failedFiles_) failedFiles_->close();
    auto* dlg = new CFailedFilesDlg(failures, total, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    // The list stays as it is while the summary's rows point into it.
    dlg->setWindowModality(Qt::WindowModal);
    connect(dlg, &CFailedFilesDlg::RowsChosen, this, [this](const std::vector<int>& rows) { list_->SelectRows(rows); });
    failedFiles_ = dlg;
    dlg->open();
}

}  // namespace tonvela
