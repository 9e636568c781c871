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
    auto* rowsLayout = new QVBoxLayout(rowsBox);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->setSpacing(6);
    for (int r = 0; r < std::max(fileRows, 1); ++r) {
        const QByteArray name = r == 0 ? QByteArray("fileText") : "fileText" + QByteArray::number(r);
        FileRow row{MakeLine(name.constData()), MakeBar(r == 0 ? tr("File progress") : tr("File %1 progress").arg(r + 1))};
        row.bar->setObjectName(r == 0 ? QStringLiteral("fileBar") : QStringLiteral("fileBar%1").arg(r));
        row.bar->setRange(0, kBatchBarMax);
        row.bar->setValue(0);
        // A free row shows nothing, and keeps its place so the window does not jump.
        for (QWidget* part : {static_cast<QWidget*>(row.text), static_cast<QWidget*>(row.bar)}) {
            QSizePolicy keep = part->sizePolicy();
            keep.setRetainSizeWhenHidden(true);
            part->setSizePolicy(keep);
            part->setVisible(false);
        }
        if (r > 0) rowsLayout->addSpacing(2);
        rowsLayout->addWidget(row.text);
        rowsLayout->addWidget(row.bar);
        files_.push_back(row);
    }
    auto* rows = new CScrollPage(rowsBox, this);
    rows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(rows);
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
    // One file keeps the classic size; each further file adds its line and bar.
    setFixedWidth(kWidth);
    setFixedHeight(std::max(kHeight, layout->sizeHint().height()));
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
    for (std::size_t r = 0; r < files_.size(); ++r) {
        const bool running = r < view.running.size();
        files_[r].text->setText(running ? QString::fromStdString(view.running[r].text) : QString());
        files_[r].bar->setValue(running ? std::clamp(view.running[r].bar, 0, kBatchBarMax) : 0);
        files_[r].text->setVisible(running);
        files_[r].bar->setVisible(running);
    }
    overallText_->setText(QString::fromStdString(view.overallText));
    overallBar_->setValue(std::clamp(view.overallBar, 0, kBatchBarMax));
}

}  // namespace tonvela
