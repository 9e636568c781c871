// A flat rectangle filled with one colour; a click asks for another one.
#pragma once

#include <QColor>
#include <QWidget>

namespace tonvela {

class CColorSwatch : public QWidget {
    Q_OBJECT
public:
    explicit CColorSwatch(QWidget* parent = nullptr);
    void SetColor(const QColor& color);
    QColor Color() const { return color_; }
    QSize sizeHint() const override { return {22, 18}; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor color_;
};

}  // namespace tonvela
