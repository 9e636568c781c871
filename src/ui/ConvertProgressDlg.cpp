#include "ui/ConvertProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace tonvela {

namespace {
// 320 x 95 dialog units of an 8-point font, in pixels.
constexpr int kWidth = 480;
constexpr int kHeight = 156;
constexpr int kMargin = 12;
}  // namespace

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent)
    : CProgressWindow(parent, "convertProgress"),
      fileText_(MakeLine("fileText")),
      fileBar_(MakeBar()),
      overallText_(MakeLine("overallText")),
      overallBar_(MakeBar()) {
    setAttribute(Qt::WA_DeleteOnClose);
    fileBar_->setObjectName(QStringLiteral("fileBar"));
    overallBar_->setObjectName(QStringLiteral("overallBar"));
    for (QProgressBar* b : {fileBar_, overallBar_}) {
        b->setRange(0, 1);
        b->setValue(0);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(6);
    layout->addWidget(fileText_);
    layout->addWidget(fileBar_);
    layout->addSpacing(8);
    layout->addWidget(overallText_);
    layout->addWidget(overallBar_);
    layout->addStretch();
    layout->addLayout(CancelRow());
    setFixedSize(kWidth, kHeight);
}

int CConvertProgressDlg::FileBarWidth() const { return kWidth - 2 * kMargin; }

QString CConvertProgressDlg::FileText() const { return fileText_->text(); }
QString CConvertProgressDlg::OverallText() const { return overallText_->text(); }
int CConvertProgressDlg::FilePos() const { return fileBar_->value(); }
int CConvertProgressDlg::OverallPos() const { return overallBar_->value(); }

void CConvertProgressDlg::SetFileText(const QString& text) { fileText_->setText(text); }
void CConvertProgressDlg::SetFileBarRange(int max) { fileBar_->setRange(0, max > 0 ? max : 1); }
void CConvertProgressDlg::SetFileBarPos(int pos) { fileBar_->setValue(std::clamp(pos, 0, fileBar_->maximum())); }
void CConvertProgressDlg::SetOverallText(const QString& text) { overallText_->setText(text); }
void CConvertProgressDlg::SetOverallRange(int max) {
    overallBar_->setRange(0, max > 0 ? max : 1);
    overallBar_->setValue(0);
}
void CConvertProgressDlg::StepOverall() {
    overallBar_->setValue(std::min(overallBar_->value() + 1, overallBar_->maximum()));
}

}  // namespace tonvela
