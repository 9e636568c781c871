#include "ui/ProgressDlg.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace tonvela {

CProgressDlg::CProgressDlg(QWidget* parent)
    : CProgressWindow(parent, "addProgress"), text_(MakeLine("progressText")), bar_(MakeBar()) {
    setWindowModality(Qt::NonModal);
    bar_->setRange(0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addLayout(CancelRow());
    setFixedSize(420, 112);
}

void CProgressDlg::SetText(const std::string& text) { text_->setText(QString::fromStdString(text)); }

void CProgressDlg::SetRange(int max) {
    bar_->setRange(0, max > 0 ? max : 1);
    bar_->setValue(0);
}

void CProgressDlg::Step() { bar_->setValue(std::min(bar_->value() + 1, bar_->maximum())); }

void CProgressDlg::ProcessEvents() { QCoreApplication::processEvents(); }

void CProgressDlg::Open() {
    ShowCentred();
    QCoreApplication::processEvents();
}

QString CProgressDlg::Text() const { return text_->text(); }
int CProgressDlg::Position() const { return bar_->value(); }
int CProgressDlg::Maximum() const { return bar_->maximum(); }

}  // namespace tonvela
