// The main window's conversion commands: a batch of the chosen rows on a worker, shown in the
// batch's progress window.
#include "ui/BatchWorker.h"
#include "ui/ConvertProgressDlg.h"
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
    convertProgress_ = new CConvertProgressDlg(this);
    worker_ = std::make_unique<CBatchWorker>(std::move(items), settings_, settings_.ConvertJobs,
                                             convertProgress_->FileBarWidth(), *desktop_, this);
    CBatchWorker* w = worker_.get();
    CConvertProgressDlg* dlg = convertProgress_;
    connect(dlg, &CConvertProgressDlg::CancelClicked, w, &CBatchWorker::RequestCancel);
    connect(w, &CBatchWorker::FileTextChanged, dlg, &CConvertProgressDlg::SetFileText);
    connect(w, &CBatchWorker::FileBarRangeChanged, dlg, &CConvertProgressDlg::SetFileBarRange);
    connect(w, &CBatchWorker::FileBarPosChanged, dlg, &CConvertProgressDlg::SetFileBarPos);
    connect(w, &CBatchWorker::OverallTextChanged, dlg, &CConvertProgressDlg::SetOverallText);
    connect(w, &CBatchWorker::OverallRangeChanged, dlg, &CConvertProgressDlg::SetOverallRange);
    connect(w, &CBatchWorker::OverallStepped, dlg, &CConvertProgressDlg::StepOverall);
    connect(w, &CBatchWorker::ProgressOpened, dlg, &CConvertProgressDlg::Open);
    connect(w, &CBatchWorker::ProgressClosed, dlg, &QWidget::close);
    connect(w, &CBatchWorker::StatusChanged, this,
            [this](int row, const QString& text) { model_->SetStatus(row, text.toStdString()); });
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

void CMainDlg::OnBatchFinished() {
    worker_.reset();  // the thread has ended; this joins it
    if (convertProgress_) convertProgress_->close();  // never shown when the template failed
    unsetCursor();
    SetBusy(false);
    list_->setFocus();
    emit BatchFinished();
}

}  // namespace tonvela
