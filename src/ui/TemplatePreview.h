// The area of the SWF page that holds the preview's player: the player keeps the movie's
// proportions, centred, and the rest of the area shows the movie's background colour (as a
// player scaling "show all" would), instead of bars of another colour.
#pragma once

#include <QColor>
#include <QFrame>
#include <QPointer>

namespace tonvela {

class CTemplatePreview : public QFrame {
    Q_OBJECT
public:
    explicit CTemplatePreview(QWidget* parent = nullptr);

    // The widget shown in the area (the player, or a note that there is none).
    void SetContent(QWidget* content);
    // The movie's stage size in pixels; an empty size fills the whole area.
    void SetMovieSize(QSize size);
    QSize MovieSize() const { return movie_; }
    void SetBackground(const QColor& colour);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Place();

    QPointer<QWidget> content_;
    QSize movie_;
    QColor background_;
};

}  // namespace tonvela
