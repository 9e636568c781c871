// A flat rectangle filled with one colour; a click (or Space, or Enter) asks for another one.
// A button to screen readers, named by the caller and described by its colour.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tonvela {

class CColorSwatch : public QAbstractButton {
    Q_OBJECT
public:
    explicit CColorSwatch(QWidget* parent = nullptr);
    void SetColor(const QColor& color);
    QColor Color() const { return color_; }
    QSize sizeHint() const override { return {22, 18}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor color_;
};

}  // namespace tonvela
