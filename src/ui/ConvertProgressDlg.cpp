#include "ui/ConvertProgressDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/WindowDrag.h"

namespace tonvela {

namespace {
// 320 x 95 dialog units of an 8-point font, in pixels.
constexpr int kWidth = 480;
constexpr int kHeight = 156;
constexpr int kMargin = 12;

QLabel* Line(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(1);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return l;
}
QProgressBar* Bar(QWidget* parent, const char* name) {
    auto* b = new QProgressBar(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setTextVisible(false);
    b->setRange(0, 1);
    b->setValue(0);
    return b;
}
}  // namespace

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      fileText_(Line(this, "fileText")),
      fileBar_(Bar(this, "fileBar")),
      overallText_(Line(this, "overallText")),
      overallBar_(Bar(this, "overallBar")),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("convertProgress"));
    setAttribute(Qt::WA_StyledBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancelRequested_ = true;
        emit CancelClicked();
    });
    new CWindowDrag(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(6);
    layout->addWidget(fileText_);
    layout->addWidget(fileBar_);
    layout->addSpacing(8);
    layout->addWidget(overallText_);
    layout->addWidget(overallBar_);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedSize(kWidth, kHeight);
}

int CConvertProgressDlg::FileBarWidth() const { return kWidth - 2 * kMargin; }

void CConvertProgressDlg::Open() {
    if (QWidget* p = parentWidget()) {
        const QRect frame = p->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

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

void CConvertProgressDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc do nothing: the window has no default action; only Cancel stops the batch.
    event->accept();
}

}  // namespace tonvela
