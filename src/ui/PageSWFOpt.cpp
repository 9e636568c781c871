#include "ui/PageSWFOpt.h"

#include <QButtonGroup>
#include <QCheckBox>
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
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <system_error>
#include <tuple>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "swf/ColourMap.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateKind.h"
#include "ui/ColorSwatch.h"
#include "ui/MessageBox.h"
#include "ui/NumberEdit.h"
#include "ui/ShockwaveFlash.h"
#include "ui/TemplatePreview.h"

namespace tonvela {

namespace {

constexpr int kDefaultFrameRateIndex = 11;  // the item for 12

struct SliderSpec {
    int high;
    int pageStep;
};
// The three shading sliders of kind 100 (GC values 1, 3 and 4), then the one of kind 300 (TBC).
constexpr std::array<SliderSpec, 4> kSliders = {{{100, 10}, {100, 10}, {100, 10}, {500, 20}}};
constexpr std::array<std::size_t, 3> kGcIndex = {0, 2, 3};

constexpr std::array<std::array<int, 3>, 3> kPresets = {{{40, 30, 80}, {60, 0, 50}, {70, 10, 10}}};

const char* const kStreamingVsEvent =
    "Streaming sound can be played while downloading. But there's a little gap when loop play.\n\n"
    "Event sound must be downloaded before it's played. There's no gaps when loop play.";
const char* const kBlankFramesHelp =
    "It's very useful when add one or more blank frame(s) if the beginning of SWF audio isn't played normally.";

// A number edit's spin range: the values the setting takes.
void SetSpinRangeOf(CNumberEdit* edit, const char* setting) {
    const SettingRule& rule = FindSetting(setting)->rule;
    edit->SetSpinRange(rule.low, rule.high, 1);
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

QColor ToQColor(std::uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

std::uint32_t FromQColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
           static_cast<std::uint32_t>(c.blue()) << 16;
}

std::uint32_t Colour24(int stored) { return static_cast<std::uint32_t>(stored) & 0xFFFFFFu; }

bool IsSwfFile(const std::filesystem::directory_entry& e) {
    std::error_code ec;
    if (!e.is_regular_file(ec)) return false;
    return QString::fromStdString(e.path().extension().string()).compare(QStringLiteral(".swf"), Qt::CaseInsensitive) == 0;
}

// The same file: equal paths, or two names of one existing file.
bool SamePath(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec) && !ec;
}

QWidget* Indented(QWidget* w) {
    auto* holder = new QWidget;
    auto* l = new QHBoxLayout(holder);
    l->setContentsMargins(22, 0, 0, 0);
    l->addWidget(w);
    return holder;
}

QLabel* LinkLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()), parent);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return l;
}

}  // namespace

QString ColourText(std::uint32_t c) {
    return QStringLiteral("%1%2%3")
        .arg(c & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((c >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((c >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::uint32_t ParseColourText(const QString& text) {
    std::uint32_t colour = 0;
    for (int component = 0; component < 3; ++component) {
        const int at = component * 2;
        const int high = at < text.size() ? HexDigit(text[at]) : 0;
        if (high < 0) break;
        // A missing second character stays "0"; one that is not hexadecimal ends the reading
        // after the first digit.
        const int low = at + 1 < text.size() ? HexDigit(text[at + 1]) : 0;
        const int value = low < 0 ? high : high * 16 + low;
        colour |= static_cast<std::uint32_t>(value) << (8 * component);
        if (low < 0) break;
    }
    return colour;
}

int SliderPosition(float coefficient) { return static_cast<int>(std::lround(static_cast<double>(coefficient) * 100.0)); }

float SliderCoefficient(int position) { return static_cast<float>(position / 100.0); }

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
        auto* none = new QLabel(tr("No preview available"), previewArea_);
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
        sl->setRange(0, kSliders[i].high);
        sl->setPageStep(kSliders[i].pageStep);
        sl->setSingleStep(1);
        sl->setValue(SliderPosition(i < 3 ? live_.GC[kGcIndex[i]] : live_.TBC));
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

CPageSWFOpt::~CPageSWFOpt() {
    player_.reset();
    std::error_code ec;
    if (!previewFile_.empty()) std::filesystem::remove(previewFile_, ec);
}

QWidget* CPageSWFOpt::BuildTypeGroup() {
    auto* box = new QGroupBox(tr("SWF Type"), this);
    withControls_ = new QRadioButton(tr("Playback &controllable SWF"), box);
    withControls_->setObjectName(QStringLiteral("withControls"));
    singleSwf_ = new QRadioButton(tr("Single &one SWF"), box);
    singleSwf_->setObjectName(QStringLiteral("singleSwf"));
    shellPlayer_ = new QRadioButton(tr("So&und SWF with a shell player SWF"), box);
    shellPlayer_->setObjectName(QStringLiteral("shellPlayer"));
    diffLink_ = LinkLabel(tr("Differences between the two types of SWFs above"), box);
    diffLink_->setObjectName(QStringLiteral("diffLink"));
    withoutControls_ = new QRadioButton(tr("No interfaces S&WF"), box);
    withoutControls_->setObjectName(QStringLiteral("withoutControls"));
    streaming_ = new QRadioButton(tr("&Steaming sound"), box);
    streaming_->setObjectName(QStringLiteral("streaming"));
    event_ = new QRadioButton(tr("&Event sound"), box);
    event_->setObjectName(QStringLiteral("event"));
    soundLink_ = LinkLabel(tr("Steaming sound vs. Event sound"), box);
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
    blankBefore_ = new QLabel(tr("Add "), box);
    blankAfter_ = new QLabel(tr("blank frame(s) at beginning of SWF"), box);
    blankHelp_ = new QToolButton(box);
    blankHelp_->setObjectName(QStringLiteral("blankHelp"));
    blankHelp_->setText(QStringLiteral("?"));
    initPlayBox_ = new QCheckBox(tr("&Play automatically"), box);
    initPlayBox_->setObjectName(QStringLiteral("initPlay"));
    loopBox_ = new QCheckBox(tr("&Loop play"), box);
    loopBox_->setObjectName(QStringLiteral("loopPlay"));
    htmlBox_ = new QCheckBox(tr("Create &HTML file"), box);
    htmlBox_->setObjectName(QStringLiteral("createHtml"));
    fileNameBox_ = new QCheckBox(tr("Add file name at right of SWF in HTML file"), box);
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

    buttonOptions_ = new QLabel(tr("Button options:"), box);
    buttonOptions_->setObjectName(QStringLiteral("buttonOptions"));
    v->addWidget(buttonOptions_);

    auto sliderLine = [this](std::size_t i, QWidget* parent, QGridLayout* grid, int row) {
        sliders_[i] = new QSlider(Qt::Horizontal, parent);
        sliders_[i]->setObjectName(QStringLiteral("slider%1").arg(i + 1));
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
    g3->addLayout(ColourLine(kTop, tr("Gradient bkg top color:"), "trackTopColour", group300_));
    g3->addLayout(ColourLine(kBottom, tr("Gradient bkg bottom color:"), "trackBottomColour", group300_));
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

void CPageSWFOpt::FillTemplateList(QComboBox* box, const std::filesystem::path& folder, const std::string& selected) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (IsSwfFile(*it)) files.push_back(it->path());
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return QString::fromStdString(a.filename().string())
                   .compare(QString::fromStdString(b.filename().string()), Qt::CaseInsensitive) < 0;
    });
    QSignalBlocker block(box);
    int pick = files.empty() ? -1 : 0;
    for (const auto& f : files) {
        if (SamePath(f.string(), selected)) pick = box->count();
        box->addItem(QString::fromStdString(f.filename().string()), QString::fromStdString(f.string()));
    }
    box->setCurrentIndex(pick);
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

void CPageSWFOpt::UpdateOptionGroups() {
    const int kind = player_ && swfType == 0 ? TemplateKindFromPath(CurrentTemplatePath()) : kKindNone;
    group100_->setVisible(kind == kKindCircleGradient);
    group300_->setVisible(kind == kKindTrack);
    group600_->setVisible(kind == kKindJpeg);
    buttonOptions_->setVisible(kind == kKindCircleGradient || kind == kKindTrack);
}

void CPageSWFOpt::BuildPreview() {
    if (!player_) return;
    const std::string path = CurrentTemplatePath();
    if (path.empty()) return;
    CSwfTemplate t;
    if (!t.Load(path)) return;
    const int kind = TemplateKindFromPath(path);
    bool picture = false;
    if (kind == kKindTrack) {
        BuildTrackColourMap(t, buttonColour, trackTopColour, trackBottomColour, trackBorderColour, live_.TBC);
    } else if (kind == kKindJpeg) {
        // A picture that cannot be used leaves the template's own background.
        if (!jpegFile.empty() && jpegWidth > 0 && jpegHeight > 0)
            picture = t.ReplaceJpeg(jpegFile, jpegWidth, jpegHeight);
    } else {
        BuildButtonColourMap(t, kind, buttonColour, live_.GC);
    }
    t.SetBackground(backgroundColour);
    if (!t.WalkAndRecolour()) return;
    if (!previewFolder_.Create()) return;

    const std::filesystem::path previous = previewFile_;
    previewFile_ = previewFolder_.Path() / ("preview-" + std::to_string(++previewCount_) + ".swf");
    if (t.SaveAs(previewFile_)) {
        previewArea_->SetMovieSize(picture ? QSize(jpegWidth, jpegHeight) : QSize(t.FrameWidth(), t.FrameHeight()));
        player_->LoadMovie(0, QString::fromStdString(previewFile_.string()));
    }
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

void CPageSWFOpt::OnLayoutClicked() {
    ReadButtons();
    QComboBox* shown = CurrentList();
    QComboBox* other = shown == shellList_ ? controlList_ : shellList_;
    const QString otherText = other->currentText();
    if (!otherText.isEmpty()) {
        for (int i = 0; i < shown->count(); ++i) {
            if (shown->itemText(i).startsWith(otherText, Qt::CaseInsensitive)) {
                QSignalBlocker block(shown);
                shown->setCurrentIndex(i);
                break;
            }
        }
    }
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
        live_.GC[kGcIndex[static_cast<std::size_t>(slider)]] = k;
    else
        live_.TBC = k;
    sliderLabels_[static_cast<std::size_t>(slider)]->setNum(position);
    if (initialised_) BuildPreview();
}

void CPageSWFOpt::OnPreset(int preset) {
    for (std::size_t i = 0; i < 3; ++i) {
        const int position = kPresets[static_cast<std::size_t>(preset)][i];
        QSignalBlocker block(sliders_[i]);
        sliders_[i]->setValue(position);
        sliderLabels_[i]->setNum(position);
        live_.GC[kGcIndex[i]] = SliderCoefficient(position);
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
