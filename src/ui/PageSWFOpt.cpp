#include "ui/PageSWFOpt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <system_error>
#include <tuple>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "convert/WebPlayerFiles.h"
#include "platform/DataFolder.h"
#include "swf/TemplateKind.h"
#include "ui/ColorSwatch.h"
#include "ui/ColourText.h"
#include "ui/MessageBox.h"
#include "ui/NumberEdit.h"
#include "ui/ShadingSliders.h"
#include "ui/ShockwaveFlash.h"
#include "ui/TemplateList.h"
#include "ui/TemplatePreview.h"

namespace tonvela {

namespace {

constexpr int kDefaultFrameRateIndex = 11;  // the item for 12

const char* const kStreamingVsEvent =
    "Streaming sound can be played while downloading. But there's a little gap when loop play.\n\n"
    "Event sound must be downloaded before it's played. There's no gaps when loop play.";
const char* const kBlankFramesHelp =
    "If the start of the sound is cut off or garbled when the SWF plays, add one or more blank frames "
    "before it.";

std::uint32_t Colour24(int stored) { return static_cast<std::uint32_t>(stored) & 0xFFFFFFu; }

QWidget* Indented(QWidget* w) {
    auto* holder = new QWidget;
    auto* l = new QHBoxLayout(holder);
    l->setContentsMargins(22, 0, 0, 0);
    l->addWidget(w);
    return holder;
}

QRadioButton* Radio(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QRadioButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel* LinkLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()), parent);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return l;
}

}  // namespace

CPageSWFOpt::CPageSWFOpt(const CConvertOptions& s, CConvertOptions& live, PlayerFactory factory, QWidget* parent)
    : COptionsPage(parent), live_(live), dataFolder_(s.dataFolder) {
    setObjectName(QStringLiteral("PageSWFOpt"));
    swfType = s.CreateCtrlSWF ? 0 : 1;
    layout = s.ButtonSWFType == kButtonShellPlayer ? 1 : 0;
    soundType = s.SWFSoundType == kSoundEvent ? 1 : 0;
    initPlay = s.SWFInitPlay != 0;
    loopPlay = s.SWFLoopPlay != 0;
    createHtml = s.CreateHtmlFile != 0;
    fileNameInHtml = s.AddFileNameOnHtml != 0;
    blankFrames = s.BlankFrames;
    frameRate = s.SWFFrameRate;
    controlSWF = s.ControlSWF;
    shellPlayerSWF = s.ShellPlayerSWF;
    buttonColour = Colour24(s.SWFBtnColor);
    backgroundColour = Colour24(s.SWFBkgColor);
    trackTopColour = Colour24(s.TrackSWFBkgTopColor);
    trackBottomColour = Colour24(s.TrackSWFBkgBottomColor);
    trackBorderColour = Colour24(s.TrackSWFBorderColor);
    jpegFile = s.JPEGFile;
    jpegWidth = s.JPEGWidth;
    jpegHeight = s.JPEGHeight;

    auto* left = new QVBoxLayout;
    left->addWidget(BuildTypeGroup());
    left->addWidget(BuildPlaybackGroup());
    left->addStretch();
    auto* help = new QLabel(QStringLiteral("<a href=\"#\">?</a>"), this);
    help->setToolTip(tr("Help on the SWF options"));
    connect(help, &QLabel::linkActivated, this,
            [this] { OpenHelpTopic(dataFolder_, QStringLiteral("options.html"), QStringLiteral("swf")); });
    auto* right = new QVBoxLayout;
    right->addWidget(BuildTemplateColumn(), 1);
    right->addWidget(help, 0, Qt::AlignRight);
    auto* page = new QHBoxLayout(this);
    page->addLayout(left, 1);
    page->addLayout(right, 1);

    // 1. The preview player, in the preview area.
    player_ = factory ? factory(previewArea_) : CShockwaveFlash::Create(previewArea_);
    if (player_) {
        player_->SetMenu(false);
        previewArea_->SetContent(player_.get());
    } else {
        // Say why when it is the web player that is missing.
        const std::string missing = WebPlayerMissingText(DataFolder() + kWebPlayerFolderName);
        auto* none = new QLabel(missing.empty() ? tr("No preview available")
                                                : tr("No preview: %1.").arg(QString::fromStdString(missing)),
                                previewArea_);
        none->setWordWrap(true);
        none->setAlignment(Qt::AlignCenter);
        none->setEnabled(false);
        previewArea_->SetContent(none);
    }

    // 2. Frame rates.
    const SettingRule& rates = FindSetting("SWFFrameRate")->rule;
    for (int r = rates.low; r <= rates.high; ++r)
        frameRates_->addItem(r == 12 ? QStringLiteral("12 (default)") : QString::number(r), r);
    const int rateIndex = frameRates_->findData(frameRate);
    frameRates_->setCurrentIndex(rateIndex >= 0 ? rateIndex : kDefaultFrameRateIndex);
    frameRateStart_ = frameRates_->currentIndex();

    // 3. Template lists.
    const std::filesystem::path templates = std::filesystem::path(dataFolder_) / "ControlSWF";
    FillTemplateList(controlList_, templates, controlSWF);
    FillTemplateList(shellList_, templates / "ShellPlayer", shellPlayerSWF);
    controlStart_ = controlList_->currentIndex();
    shellStart_ = shellList_->currentIndex();

    // 4, 5. Layout and the SWF type's rules; the option groups and the preview follow below.
    (swfType == 0 ? withControls_ : withoutControls_)->setChecked(true);
    (layout == 1 ? shellPlayer_ : singleSwf_)->setChecked(true);
    (soundType == 1 ? event_ : streaming_)->setChecked(true);
    ShowTypeRules();

    // 6. Sliders.
    for (std::size_t i = 0; i < sliders_.size(); ++i) {
        QSlider* sl = sliders_[i];
        // Setting the position must not write the coefficient back (it would round it).
        QSignalBlocker block(sl);
        sl->setRange(0, kShadingSliders[i].high);
        sl->setPageStep(kShadingSliders[i].pageStep);
        sl->setSingleStep(1);
        sl->setValue(SliderPosition(i < 3 ? live_.GC[kSliderGcIndex[i]] : live_.TBC));
        sliderLabels_[i]->setNum(sl->value());
    }

    // 8. Colours.
    for (auto& row : colours_) {
        row.edit->setText(ColourText(*row.member));
        row.swatch->SetColor(ToQColor(*row.member));
    }
    SetPreviewBackground();

    // 9. Number edits and check boxes.
    blankEdit_->SetNumber(blankFrames);
    jpegEdit_->setText(QString::fromStdString(jpegFile));
    jpegEdit_->setToolTip(jpegEdit_->text());
    jpegWidthEdit_->SetNumber(jpegWidth);
    jpegHeightEdit_->SetNumber(jpegHeight);
    initPlayBox_->setChecked(initPlay);
    loopBox_->setChecked(loopPlay);
    htmlBox_->setChecked(createHtml);
    fileNameBox_->setChecked(fileNameInHtml);
    fileNameBox_->setEnabled(createHtml);
    UpdateBlankFrames();

    // 7 and the preview of step 4.
    UpdateOptionGroups();
    BuildPreview();

    // 10.
    initialised_ = true;
}

void CPageSWFOpt::ReleasePlayer() { player_.reset(); }

CPageSWFOpt::~CPageSWFOpt() {
    player_.reset();
    std::error_code ec;
    if (!previewFile_.empty()) std::filesystem::remove(previewFile_, ec);
}

QWidget* CPageSWFOpt::BuildTypeGroup() {
    auto* box = new QGroupBox(tr("SWF Type"), this);
    withControls_ = Radio(tr("Playback &controllable SWF"), "withControls", box);
    singleSwf_ = Radio(tr("Single &one SWF"), "singleSwf", box);
    shellPlayer_ = Radio(tr("So&und SWF with a shell player SWF"), "shellPlayer", box);
    diffLink_ = LinkLabel(tr("Differences between the two types of SWFs above"), box);
    diffLink_->setObjectName(QStringLiteral("diffLink"));
    withoutControls_ = Radio(tr("No interfaces S&WF"), "withoutControls", box);
    streaming_ = Radio(tr("&Streaming sound"), "streaming", box);
    event_ = Radio(tr("&Event sound"), "event", box);
    soundLink_ = LinkLabel(tr("Streaming sound vs. Event sound"), box);
    soundLink_->setObjectName(QStringLiteral("soundLink"));

    auto* types = new QButtonGroup(this);
    types->addButton(withControls_, 0);
    types->addButton(withoutControls_, 1);
    auto* layouts = new QButtonGroup(this);
    layouts->addButton(singleSwf_, 0);
    layouts->addButton(shellPlayer_, 1);
    auto* sounds = new QButtonGroup(this);
    sounds->addButton(streaming_, 0);
    sounds->addButton(event_, 1);

    auto* v = new QVBoxLayout(box);
    v->addWidget(withControls_);
    v->addWidget(Indented(singleSwf_));
    v->addWidget(Indented(shellPlayer_));
    v->addWidget(Indented(diffLink_));
    v->addWidget(withoutControls_);
    v->addWidget(Indented(streaming_));
    v->addWidget(Indented(event_));
    v->addWidget(Indented(soundLink_));

    connect(types, &QButtonGroup::idClicked, this, [this] { OnSwfTypeClicked(); });
    connect(layouts, &QButtonGroup::idClicked, this, [this] { OnLayoutClicked(); });
    connect(sounds, &QButtonGroup::idClicked, this, [this] {
        ReadButtons();
        UpdateBlankFrames();
    });
    connect(diffLink_, &QLabel::linkActivated, this,
            [this] { OpenHelpTopic(dataFolder_, QStringLiteral("FAQ.html"), QStringLiteral("swf_diff")); });
    connect(soundLink_, &QLabel::linkActivated, this, [this] { OnHelp(tr(kStreamingVsEvent)); });
    return box;
}

QWidget* CPageSWFOpt::BuildPlaybackGroup() {
    auto* box = new QGroupBox(tr("Playback"), this);
    frameRates_ = new QComboBox(box);
    frameRates_->setObjectName(QStringLiteral("frameRate"));
    frameRates_->setMaxVisibleItems(16);
    auto* rateLabel = new QLabel(tr("&Frame rate:"), box);
    rateLabel->setBuddy(frameRates_);
    blankEdit_ = new CNumberEdit(box);
    blankEdit_->setObjectName(QStringLiteral("blankFrames"));
    SetSpinRangeOf(blankEdit_, "BlankFrames");
    // Named on screen by the words around it ("Add ... blank frames").
    blankEdit_->setAccessibleName(tr("Blank frames at the beginning of the SWF"));
    blankBefore_ = new QLabel(tr("Add "), box);
    blankAfter_ = new QLabel(tr("blank frames at the beginning of the SWF"), box);
    blankHelp_ = new QToolButton(box);
    blankHelp_->setObjectName(QStringLiteral("blankHelp"));
    blankHelp_->setText(QStringLiteral("?"));
    initPlayBox_ = new QCheckBox(tr("&Play automatically"), box);
    initPlayBox_->setObjectName(QStringLiteral("initPlay"));
    loopBox_ = new QCheckBox(tr("&Loop play"), box);
    loopBox_->setObjectName(QStringLiteral("loopPlay"));
    htmlBox_ = new QCheckBox(tr("Create &HTML file"), box);
    htmlBox_->setObjectName(QStringLiteral("createHtml"));
    fileNameBox_ = new QCheckBox(tr("Show the file name to the right of the SWF in the HTML page"), box);
    fileNameBox_->setObjectName(QStringLiteral("fileNameInHtml"));

    auto* rate = new QHBoxLayout;
    rate->addWidget(rateLabel);
    rate->addWidget(frameRates_);
    rate->addStretch();
    auto* blank = new QHBoxLayout;
    blank->addWidget(blankBefore_);
    blank->addWidget(blankEdit_);
    blank->addWidget(blankAfter_);
    blank->addWidget(blankHelp_);
    blank->addStretch();
    auto* v = new QVBoxLayout(box);
    v->addLayout(rate);
    v->addLayout(blank);
    v->addWidget(initPlayBox_);
    v->addWidget(loopBox_);
    v->addWidget(htmlBox_);
    v->addWidget(Indented(fileNameBox_));

    connect(blankHelp_, &QToolButton::clicked, this, [this] { OnHelp(tr(kBlankFramesHelp)); });
    connect(htmlBox_, &QCheckBox::clicked, this, [this] {
        ReadButtons();
        fileNameBox_->setEnabled(createHtml);
    });
    return box;
}

QComboBox* CPageSWFOpt::CurrentList() const { return layout == 1 ? shellList_ : controlList_; }

std::string CPageSWFOpt::CurrentTemplatePath() const {
    const QComboBox* list = CurrentList();
    return list->currentIndex() < 0 ? std::string() : list->currentData().toString().toStdString();
}

void CPageSWFOpt::ReadButtons() {
    swfType = withoutControls_->isChecked() ? 1 : 0;
    layout = shellPlayer_->isChecked() ? 1 : 0;
    soundType = event_->isChecked() ? 1 : 0;
    initPlay = initPlayBox_->isChecked();
    loopPlay = loopBox_->isChecked();
    createHtml = htmlBox_->isChecked();
    fileNameInHtml = fileNameBox_->isChecked();
}

bool CPageSWFOpt::ReadNumbers() {
    for (auto [edit, member, name] :
         {std::tuple{blankEdit_, &blankFrames, "BlankFrames"}, std::tuple{jpegWidthEdit_, &jpegWidth, "JPEGWidth"},
          std::tuple{jpegHeightEdit_, &jpegHeight, "JPEGHeight"}}) {
        const auto v = edit->Number();
        if (!v) {
            ShowMessageBox(this, tr("Please enter an integer."), MessageIcon::Exclamation);
            edit->setFocus();
            return false;
        }
        // The edit takes any digits; the value must be one the conversion takes.
        const SettingRule& rule = FindSetting(name)->rule;
        if (*v < rule.low || *v > rule.high) {
            ShowMessageBox(this, tr("Please enter a number from %1 to %2.").arg(rule.low).arg(rule.high),
                           MessageIcon::Exclamation);
            edit->setFocus();
            return false;
        }
        *member = *v;
    }
    return true;
}

void CPageSWFOpt::ShowTypeRules() {
    const bool controls = swfType == 0;
    controlList_->setVisible(layout == 0);
    shellList_->setVisible(layout == 1);
    templateLabel_->setBuddy(CurrentList());
    singleSwf_->parentWidget()->setVisible(controls);
    shellPlayer_->parentWidget()->setVisible(controls);
    diffLink_->parentWidget()->setVisible(controls);
    streaming_->parentWidget()->setVisible(!controls);
    event_->parentWidget()->setVisible(!controls);
    soundLink_->parentWidget()->setVisible(!controls);
    controlList_->setEnabled(controls);
    shellList_->setEnabled(controls);
    colours_[kButton].swatch->setVisible(controls);
    colours_[kButton].edit->setEnabled(controls);
    previewArea_->setVisible(controls);
}

void CPageSWFOpt::UpdateBlankFrames() {
    const bool on = !(swfType == 1 && soundType == 1);
    for (QWidget* w : {static_cast<QWidget*>(blankEdit_), static_cast<QWidget*>(blankHelp_),
                       static_cast<QWidget*>(blankBefore_), static_cast<QWidget*>(blankAfter_)})
        w->setEnabled(on);
}

void CPageSWFOpt::OnLayoutClicked() {
    ReadButtons();
    QComboBox* shown = CurrentList();
    SelectByPrefix(shown, (shown == shellList_ ? controlList_ : shellList_)->currentText());
    ShowTypeRules();
    if (player_) {
        UpdateOptionGroups();
        BuildPreview();
    }
}

void CPageSWFOpt::OnSwfTypeClicked() {
    ReadButtons();
    ShowTypeRules();
    UpdateOptionGroups();
    UpdateBlankFrames();
}

void CPageSWFOpt::OnHelp(const QString& text) { ShowMessageBox(this, text, MessageIcon::Information); }

bool CPageSWFOpt::OnKillActive() {
    ReadButtons();
    return ReadNumbers();
}

bool CPageSWFOpt::OnOK() {
    if (!OnKillActive()) return false;
    if (TemplateKindFromPath(CurrentTemplatePath()) == kKindJpeg && jpegFile.empty()) {
        ShowMessageBox(this, tr("Please choose a JPEG file."), MessageIcon::Exclamation);
        return false;
    }
    // A rate the list does not hold shows the default item; it stays unless another is chosen.
    if (frameRates_->currentIndex() != frameRateStart_) frameRate = frameRates_->currentData().toInt();
    // A list whose selection the user left alone keeps the setting as it was, also when the
    // list could not find it.
    if (swfType == 0) {
        if (controlList_->currentIndex() >= 0 && controlList_->currentIndex() != controlStart_)
            controlSWF = controlList_->currentData().toString().toStdString();
        if (shellList_->currentIndex() >= 0 && shellList_->currentIndex() != shellStart_)
            shellPlayerSWF = shellList_->currentData().toString().toStdString();
    }
    return true;
}

void CPageSWFOpt::CopyBack(CConvertOptions& s) const {
    s.CreateCtrlSWF = swfType == 0 ? 1 : 0;
    s.ButtonSWFType = layout == 1 ? kButtonShellPlayer : kButtonSingleSwf;
    s.SWFSoundType = soundType == 1 ? kSoundEvent : kSoundStreaming;
    s.SWFInitPlay = initPlay ? 1 : 0;
    s.SWFLoopPlay = loopPlay ? 1 : 0;
    s.CreateHtmlFile = createHtml ? 1 : 0;
    s.AddFileNameOnHtml = fileNameInHtml ? 1 : 0;
    s.BlankFrames = blankFrames;
    s.SWFFrameRate = frameRate;
    s.ControlSWF = controlSWF;
    s.ShellPlayerSWF = shellPlayerSWF;
    s.SWFBtnColor = static_cast<int>(buttonColour);
    s.SWFBkgColor = static_cast<int>(backgroundColour);
    s.TrackSWFBkgTopColor = static_cast<int>(trackTopColour);
    s.TrackSWFBkgBottomColor = static_cast<int>(trackBottomColour);
    s.TrackSWFBorderColor = static_cast<int>(trackBorderColour);
    s.JPEGFile = jpegFile;
    s.JPEGWidth = jpegWidth;
    s.JPEGHeight = jpegHeight;
}

}  // namespace tonvela
