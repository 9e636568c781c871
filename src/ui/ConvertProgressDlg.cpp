#include "ui/ConvertProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ScreenFit.h"

namespace tonvela {

namespace {
// 320 x 95 dialog units of an 8-point font, in pixels, for one file at a time.
constexpr int kWidth = 480;
constexpr int kHeight = 156;
constexpr int kMargin = 12;
}  // namespace

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent, int fileRows)
    : CProgressWindow(parent, "convertProgress"), overallText_(nullptr), overallBar_(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(6);
    // The files' rows scroll when there are more than the screen has room for.
    auto* rowsBox = new QWidget;
    rowsBox->setObjectName(QStringLiteral("fileRows"));
    rowsLayout_ = new QVBoxLayout(rowsBox);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(6);
    for (int r = 0; r < std::max(fileRows, 1); ++r) {
        const QByteArray name = r == 0 ? QByteArray("fileText") : "fileText" + QByteArray::number(r);
        FileRow row{MakeLine(name.constData()), MakeBar(r == 0 ? tr("File progress") : tr("File %1 progress").arg(r + 1))};
        row.bar->setObjectName(r == 0 ? QStringLiteral("fileBar") : QStringLiteral("fileBar%1").arg(r));
        row.bar->setRange(0, kBatchBarMax);
        row.bar->setValue(0);
        if (r > 0) row.text->setContentsMargins(0, 2, 0, 0);
        row.text->setVisible(false);
        row.bar->setVisible(false);
        rowsLayout_->addWidget(row.text);
        rowsLayout_->addWidget(row.bar);
        files_.push_back(row);
    }
    // The first row has its room from the start (the classic window); the others take theirs
    // once a file has run in them.
    KeepRoom(1);
    auto* rowsPage = new CScrollPage(rowsBox, this);
    rowsPage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(rowsPage);
    rowsPage_ = rowsPage;
    overallText_ = MakeLine("overallText");
    overallBar_ = MakeBar(tr("Overall progress"));
    overallBar_->setObjectName(QStringLiteral("overallBar"));
    overallBar_->setRange(0, kBatchBarMax);
    overallBar_->setValue(0);
    layout->addSpacing(8);
    layout->addWidget(overallText_);
    layout->addWidget(overallBar_);
    layout->addStretch();
    layout->addLayout(CancelRow());
    setFixedWidth(kWidth);
    FitHeight();
}

bool CConvertProgressDlg::KeepRoom(std::size_t rows) {
    rows = std::min(rows, files_.size());
    if (rows <= rowsWithRoom_) return false;
    // A free row shows nothing but keeps its place, so the window does not jump as files end.
    for (std::size_t r = rowsWithRoom_; r < rows; ++r) {
        for (QWidget* part : {static_cast<QWidget*>(files_[r].text), static_cast<QWidget*>(files_[r].bar)}) {
            QSizePolicy keep = part->sizePolicy();
            keep.setRetainSizeWhenHidden(true);
            part->setSizePolicy(keep);
        }
    }
    rowsWithRoom_ = rows;
    return true;
}

void CConvertProgressDlg::FitHeight() {
    // One file keeps the classic size; each further row in use adds its line and bar, up to
    // what the screen has room for (the rows scroll beyond that).
    rowsLayout_->invalidate();
    rowsPage_->updateGeometry();
    setFixedHeight(std::max(kHeight, layout()->sizeHint().height()));
    FitToScreen(this);
}

int CConvertProgressDlg::FileBarWidth() const { return kWidth - 2 * kMargin; }

QString CConvertProgressDlg::FileText(int row) const {
    return row >= 0 && row < FileRows() ? files_[static_cast<std::size_t>(row)].text->text() : QString();
}
int CConvertProgressDlg::FilePos(int row) const {
    return row >= 0 && row < FileRows() ? files_[static_cast<std::size_t>(row)].bar->value() : 0;
}
bool CConvertProgressDlg::FileShown(int row) const {
    return row >= 0 && row < FileRows() && !files_[static_cast<std::size_t>(row)].bar->isHidden();
}
QString CConvertProgressDlg::OverallText() const { return overallText_->text(); }
int CConvertProgressDlg::OverallPos() const { return overallBar_->value(); }

void CConvertProgressDlg::ShowBatch(const BatchProgressView& view) {
    const bool more = KeepRoom(view.running.size());
    for (std::size_t r = 0; r < files_.size(); ++r) {
        const bool running = r < view.running.size();
        files_[r].text->setText(running ? QString::fromStdString(view.running[r].text) : QString());
        files_[r].bar->setValue(running ? std::clamp(view.running[r].bar, 0, kBatchBarMax) : 0);
        files_[r].text->setVisible(running);
        files_[r].bar->setVisible(running);
    }
    overallText_->setText(QString::fromStdString(view.overallText));
    overallBar_->setValue(std::clamp(view.overallBar, 0, kBatchBarMax));
    if (more) FitHeight();
}

}  // namespace tonvela
