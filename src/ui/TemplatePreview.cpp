#include "ui/TemplatePreview.h"

#include <QPainter>

namespace tonvela {

CTemplatePreview::CTemplatePreview(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
}

void CTemplatePreview::SetContent(QWidget* content) {
    content_ = content;
    if (content_) {
        content_->setParent(this);
        content_->show();
    }
    Place();
}

void CTemplatePreview::SetMovieSize(QSize size) {
    if (size == movie_) return;
    movie_ = size;
    Place();
}

void CTemplatePreview::SetBackground(const QColor& colour) {
    background_ = colour;
    update();
}

void CTemplatePreview::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Place();
}

void CTemplatePreview::paintEvent(QPaintEvent* event) {
    if (background_.isValid()) {
        QPainter p(this);
        p.fillRect(contentsRect(), background_);
    }
    QFrame::paintEvent(event);
}

void CTemplatePreview::Place() {
    if (!content_) return;
    const QRect area = contentsRect();
    if (movie_.isEmpty() || area.isEmpty()) {
        content_->setGeometry(area);
        return;
    }
    const QSize fitted = movie_.scaled(area.size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    QRect r(QPoint(0, 0), fitted);
    r.moveCenter(area.center());
    content_->setGeometry(r);
}

}  // namespace tonvela
