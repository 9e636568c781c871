// The page's "Appearance" column: the template lists, the colour rows, the preview area, and
// the option groups of the template kinds with their events.
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "swf/TemplateKind.h"
#include "ui/AccessibleRoles.h"
#include "ui/ColorSwatch.h"
#include "ui/ColourText.h"
#include "ui/NumberEdit.h"
#include "ui/PageSWFOpt.h"
#include "ui/ShadingSliders.h"
#include "ui/TemplatePreview.h"

namespace tonvela {

QLayout* CPageSWFOpt::ColourLine(Colour which, const QString& label, const char* name, QWidget* parent) {
    static constexpr std::array<std::uint32_t CPageSWFOpt::*, kColours> kMembers = {
        &CPageSWFOpt::buttonColour, &CPageSWFOpt::backgroundColour, &CPageSWFOpt::trackTopColour,
        &CPageSWFOpt::trackBottomColour, &CPageSWFOpt::trackBorderColour};
    ColourRow& row = colours_[which];
    row.member = &(this->*kMembers[which]);
    row.swatch = new CColorSwatch(parent);
    row.swatch->setObjectName(QString::fromLatin1(name) + QStringLiteral("Swatch"));
    row.edit = new QLineEdit(parent);
    row.edit->setObjectName(QString::fromLatin1(name));
    row.edit->setMaxLength(6);
    row.edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,6}")), row.edit));
    row.edit->setFixedWidth(row.edit->fontMetrics().horizontalAdvance(QStringLiteral("DDDDDDD")) + 12);
    auto* text = new QLabel(label, parent);
    text->setBuddy(row.edit);
    // The swatch is named by its row too: "Choose button color", the edit "Button color".
    QString what = AccessibleLabelText(label);
    if (what.size() > 1 && what[1].isLower()) what[0] = what[0].toLower();
    row.swatch->setAccessibleName(tr("Choose %1").arg(what));
    auto* line = new QHBoxLayout;
    line->addWidget(text, 1);
    line->addWidget(row.swatch);
    line->addWidget(new QLabel(QStringLiteral("#"), parent));
    line->addWidget(row.edit);
    connect(row.edit, &QLineEdit::textChanged, this, [this, which] { OnColourEdited(which); });
    connect(row.swatch, &CColorSwatch::clicked, this, [this, which] { OnSwatchClicked(which); });
    return line;
}

QWidget* CPageSWFOpt::BuildTemplateColumn() {
    auto* box = new QGroupBox(tr("Appearance"), this);
    auto* v = new QVBoxLayout(box);

    templateLabel_ = new QLabel(tr("Co&ntrol SWF:"), box);
    controlList_ = new QComboBox(box);
    controlList_->setObjectName(QStringLiteral("controlList"));
    shellList_ = new QComboBox(box);
    shellList_->setObjectName(QStringLiteral("shellList"));
    auto* lists = new QGridLayout;
    lists->addWidget(templateLabel_, 0, 0);
    // The two lists share one place; the layout choice shows one of them.
    lists->addWidget(controlList_, 0, 1);
    lists->addWidget(shellList_, 0, 1);
    lists->setColumnStretch(1, 1);
    v->addLayout(lists);
    v->addLayout(ColourLine(kButton, tr("&Button color:"), "buttonColour", box));
    v->addLayout(ColourLine(kBackground, tr("B&ackground color:"), "backgroundColour", box));

    previewArea_ = new CTemplatePreview(box);
    previewArea_->setObjectName(QStringLiteral("previewArea"));
    previewArea_->setMinimumSize(260, 120);
    v->addWidget(previewArea_, 1);
    // What the movies go without (a picture that cannot be used), said as the batch says it.
    previewNotice_ = new QLabel(box);
    previewNotice_->setObjectName(QStringLiteral("previewNotice"));
    previewNotice_->setWordWrap(true);
    previewNotice_->setTextFormat(Qt::PlainText);
    previewNotice_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    previewNotice_->hide();
    v->addWidget(previewNotice_);

    buttonOptions_ = new QLabel(tr("Button options:"), box);
    buttonOptions_->setObjectName(QStringLiteral("buttonOptions"));
    v->addWidget(buttonOptions_);

    // No label names the sliders on the page (the number beside each is its position).
    static constexpr const char* kSliderNames[] = {"Button shadow", "Button light", "Button highlight",
                                                   "Track shading"};
    auto sliderLine = [this](std::size_t i, QWidget* parent, QGridLayout* grid, int row) {
        sliders_[i] = new QSlider(Qt::Horizontal, parent);
        sliders_[i]->setObjectName(QStringLiteral("slider%1").arg(i + 1));
        sliders_[i]->setAccessibleName(tr(kSliderNames[i]));
        sliderLabels_[i] = new QLabel(parent);
        sliderLabels_[i]->setObjectName(QStringLiteral("sliderLabel%1").arg(i + 1));
        sliderLabels_[i]->setMinimumWidth(sliderLabels_[i]->fontMetrics().horizontalAdvance(QStringLiteral("5000")));
        grid->addWidget(sliders_[i], row, 0);
        grid->addWidget(sliderLabels_[i], row, 1);
        connect(sliders_[i], &QSlider::valueChanged, this,
                [this, i](int position) { OnSliderMoved(static_cast<int>(i), position); });
    };

    group100_ = new QWidget(box);
    group100_->setObjectName(QStringLiteral("group100"));
    auto* g1 = new QGridLayout(group100_);
    g1->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < 3; ++i) sliderLine(i, group100_, g1, static_cast<int>(i));
    presets_ = new QPushButton(tr("Presets"), group100_);
    presets_->setObjectName(QStringLiteral("presets"));
    presetMenu_ = new QMenu(presets_);
    presetMenu_->setObjectName(QStringLiteral("presetMenu"));
    for (int p = 0; p < 3; ++p)
        connect(presetMenu_->addAction(tr("Style &%1").arg(p + 1)), &QAction::triggered, this, [this, p] { OnPreset(p); });
    g1->addWidget(presets_, 0, 2, 3, 1, Qt::AlignTop);
    g1->setColumnStretch(0, 1);
    connect(presets_, &QPushButton::clicked, this,
            [this] { presetMenu_->popup(presets_->mapToGlobal(presets_->rect().topRight())); });
    v->addWidget(group100_);

    group300_ = new QWidget(box);
    group300_->setObjectName(QStringLiteral("group300"));
    auto* g3 = new QVBoxLayout(group300_);
    g3->setContentsMargins(0, 0, 0, 0);
    auto* trackGrid = new QGridLayout;
    sliderLine(3, group300_, trackGrid, 0);
    trackGrid->setColumnStretch(0, 1);
    g3->addLayout(trackGrid);
    g3->addLayout(ColourLine(kTop, tr("Background gradient, top color:"), "trackTopColour", group300_));
    g3->addLayout(ColourLine(kBottom, tr("Background gradient, bottom color:"), "trackBottomColour", group300_));
    g3->addLayout(ColourLine(kBorder, tr("Border color:"), "trackBorderColour", group300_));
    v->addWidget(group300_);

    group600_ = new QWidget(box);
    group600_->setObjectName(QStringLiteral("group600"));
    auto* g6 = new QGridLayout(group600_);
    g6->setContentsMargins(0, 0, 0, 0);
    jpegEdit_ = new QLineEdit(group600_);
    jpegEdit_->setObjectName(QStringLiteral("jpegFile"));
    jpegEdit_->setReadOnly(true);
    auto* jpegBrowse = new QPushButton(tr("Browse"), group600_);
    jpegBrowse->setObjectName(QStringLiteral("jpegBrowse"));
    jpegWidthEdit_ = new CNumberEdit(group600_);
    jpegWidthEdit_->setObjectName(QStringLiteral("jpegWidth"));
    SetSpinRangeOf(jpegWidthEdit_, "JPEGWidth");
    jpegHeightEdit_ = new CNumberEdit(group600_);
    jpegHeightEdit_->setObjectName(QStringLiteral("jpegHeight"));
    SetSpinRangeOf(jpegHeightEdit_, "JPEGHeight");
    auto* wLabel = new QLabel(tr("Width:"), group600_);
    wLabel->setBuddy(jpegWidthEdit_);
    auto* hLabel = new QLabel(tr("Height: "), group600_);
    hLabel->setBuddy(jpegHeightEdit_);
    g6->addWidget(new QLabel(tr("JPEG File:"), group600_), 0, 0);
    g6->addWidget(jpegEdit_, 0, 1, 1, 3);
    g6->addWidget(jpegBrowse, 0, 4);
    g6->addWidget(wLabel, 1, 0);
    g6->addWidget(jpegWidthEdit_, 1, 1);
    g6->addWidget(hLabel, 1, 2);
    g6->addWidget(jpegHeightEdit_, 1, 3);
    g6->setColumnStretch(1, 1);
    g6->setColumnStretch(3, 1);
    v->addWidget(group600_);
    // Without the preview (no interfaces) the rows stay at the top.
    v->addStretch(0);
    connect(jpegBrowse, &QPushButton::clicked, this, [this] { OnBrowseJpeg(); });
    for (CNumberEdit* e : {jpegWidthEdit_, jpegHeightEdit_})
        connect(e, &CNumberEdit::textChanged, this, [this] {
            if (!initialised_) return;
            jpegWidth = jpegWidthEdit_->Number().value_or(jpegWidth);
            jpegHeight = jpegHeightEdit_->Number().value_or(jpegHeight);
            BuildPreview();
        });

    auto onListChanged = [this] {
        if (!initialised_ || !player_) return;
        UpdateOptionGroups();
        BuildPreview();
    };
    connect(controlList_, &QComboBox::currentIndexChanged, this, onListChanged);
    connect(shellList_, &QComboBox::currentIndexChanged, this, onListChanged);
    return box;
}

void CPageSWFOpt::UpdateOptionGroups() {
    ShowOptionGroups(player_ && swfType == 0 ? TemplateKindFromPath(CurrentTemplatePath()) : kKindNone);
}

void CPageSWFOpt::ShowOptionGroups(int kind) {
    static_assert(kKindsWithOptions[0] == kKindCircleGradient && kKindsWithOptions[1] == kKindTrack &&
                  kKindsWithOptions[2] == kKindJpeg);
    group100_->setVisible(kind == kKindCircleGradient);
    group300_->setVisible(kind == kKindTrack);
    group600_->setVisible(kind == kKindJpeg);
    buttonOptions_->setVisible(kind == kKindCircleGradient || kind == kKindTrack);
}

void CPageSWFOpt::OnColourEdited(Colour which) {
    if (!initialised_) return;
    ColourRow& row = colours_[which];
    *row.member = ParseColourText(row.edit->text());
    row.swatch->SetColor(ToQColor(*row.member));
    if (which == kBackground)
        SetPreviewBackground();
    else
        BuildPreview();
}

void CPageSWFOpt::OnSwatchClicked(Colour which) {
    if (!player_) return;
    ColourRow& row = colours_[which];
    QColorDialog dialog(ToQColor(*row.member), this);
    dialog.setWindowTitle(tr("Color"));
    if (dialog.exec() != QDialog::Accepted) return;
    const std::uint32_t chosen = FromQColor(dialog.selectedColor());
    if (chosen == *row.member) return;
    *row.member = chosen;
    row.edit->setText(ColourText(chosen));
}

void CPageSWFOpt::OnSliderMoved(int slider, int position) {
    const float k = SliderCoefficient(position);
    if (slider < 3)
        live_.GC[kSliderGcIndex[static_cast<std::size_t>(slider)]] = k;
    else
        live_.TBC = k;
    sliderLabels_[static_cast<std::size_t>(slider)]->setNum(position);
    if (initialised_) BuildPreview();
}

void CPageSWFOpt::OnPreset(int preset) {
    for (std::size_t i = 0; i < 3; ++i) {
        const int position = kShadingPresets[static_cast<std::size_t>(preset)][i];
        QSignalBlocker block(sliders_[i]);
        sliders_[i]->setValue(position);
        sliderLabels_[i]->setNum(position);
        live_.GC[kSliderGcIndex[i]] = SliderCoefficient(position);
    }
    BuildPreview();
}

void CPageSWFOpt::OnBrowseJpeg() {
    QFileDialog dialog(this, tr("JPEG File"), QString::fromStdString(jpegFile),
                       tr("JPEG File (*.jpg *.jpeg *.jpe *.jfif)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    jpegFile = dialog.selectedFiles().first().toStdString();
    jpegEdit_->setText(QString::fromStdString(jpegFile));
    jpegEdit_->setToolTip(jpegEdit_->text());
    BuildPreview();
}

}  // namespace tonvela
