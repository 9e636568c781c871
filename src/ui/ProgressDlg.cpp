#include "ui/ProgressDlg.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/WindowDrag.h"

namespace tonvela {

CProgressDlg::CProgressDlg(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      text_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("addProgress"));
    setAttribute(Qt::WA_StyledBackground);
    setWindowModality(Qt::NonModal);
    text_->setObjectName(QStringLiteral("progressText"));
    text_->setTextFormat(Qt::PlainText);
    // A long file name must not widen the window.
    text_->setMinimumWidth(1);
    text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar_->setTextVisible(false);
    bar_->setRange(0, 0);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    new CWindowDrag(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
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
    if (QWidget* p = parentWidget()) {
        const QRect frame = p->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    QCoreApplication::processEvents();
}

QString CProgressDlg::Text() const { return text_->text(); }
int CProgressDlg::Position() const { return bar_->value(); }
int CProgressDlg::Maximum() const { return bar_->maximum(); }

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
    // Esc does not close it; only the Cancel button stops the loop.
    event->accept();
}

}  // namespace tonvela
