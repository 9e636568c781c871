// The page's live preview: the movie the batch would write from the page's values, made by the
// batch's own function, written to the preview folder and shown.
#include <QLabel>
#include <system_error>

#include "convert/ConvertOptions.h"
#include "convert/TemplateMovie.h"
#include "swf/SwfTemplate.h"
#include "ui/ColourText.h"
#include "ui/PageSWFOpt.h"
#include "ui/ShockwaveFlash.h"
#include "ui/TemplatePreview.h"

namespace tonvela {

TemplateLook CPageSWFOpt::Look() const {
    TemplateLook look;
    look.buttonColour = buttonColour;
    look.backgroundColour = backgroundColour;
    look.trackTopColour = trackTopColour;
    look.trackBottomColour = trackBottomColour;
    look.trackBorderColour = trackBorderColour;
    // The shading sliders act on the running program's coefficients.
    look.gc = live_.GC;
    look.tbc = live_.TBC;
    look.jpegFile = jpegFile;
    look.jpegWidth = jpegWidth;
    look.jpegHeight = jpegHeight;
    return look;
}

void CPageSWFOpt::BuildPreview() {
    if (!player_) return;
    const std::string path = CurrentTemplatePath();
    if (path.empty()) return;
    // The preview is always of a movie with controls: the lists are of control templates.
    CTemplateMovie movie;
    if (MakeTemplateMovie(path, Look(), true, movie) != TemplateError::None) return;
    if (!previewFolder_.Create()) return;

    const std::filesystem::path previous = previewFile_;
    previewFile_ = previewFolder_.Path() / ("preview-" + std::to_string(++previewCount_) + ".swf");
    if (movie.tmpl->SaveAs(previewFile_)) {
        previewArea_->SetMovieSize(QSize(movie.stageWidth, movie.stageHeight));
        player_->LoadMovie(0, QString::fromStdString(previewFile_.string()));
    }
    previewNotice_->setText(QString::fromStdString(movie.notice));
    previewNotice_->setVisible(!movie.notice.empty());
    if (!previous.empty()) {
        std::error_code ec;
        std::filesystem::remove(previous, ec);
    }
}

void CPageSWFOpt::SetPreviewBackground() {
    if (!player_) return;
    player_->SetBGColor(QLatin1Char('#') + ColourText(backgroundColour));
    previewArea_->SetBackground(ToQColor(backgroundColour));
}

}  // namespace tonvela
