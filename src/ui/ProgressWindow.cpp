#include "ui/ProgressWindow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/PushButton.h"
#include "ui/ScreenFit.h"
#include "ui/WindowDrag.h"

namespace tonvela {

CProgressWindow::CProgressWindow(QWidget* parent, const char* name)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      cancel_(MakeButton(QStringLiteral("Cancel"), "cancelButton", this)) {
    setObjectName(QLatin1String(name));
    setAttribute(Qt::WA_StyledBackground);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancelRequested_ = true;
        emit CancelClicked();
    });
    new CWindowDrag(this);
}

void CProgressWindow::ShowCentred() {
    if (QWidget* p = parentWidget()) {
        const QRect frame = p->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    FitToScreen(this);  // over a parent near the screen's edge, still whole
    raise();
}

QLabel* CProgressWindow::MakeLine(const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(1);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return l;
}

QProgressBar* CProgressWindow::MakeBar(const QString& accessibleName) {
    auto* b = new QProgressBar(this);
    b->setTextVisible(false);
    b->setAccessibleName(accessibleName);
    return b;
}

QLayout* CProgressWindow::CancelRow() {
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel_);
    row->addStretch();
    return row;
}

void CProgressWindow::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc do nothing: the window has no default action; only Cancel stops the work.
    event->accept();
}

}  // namespace tonvela
