#include "ui/PageMP3Opt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>
#include <climits>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "ui/MessageBox.h"
#include "ui/NumberEdit.h"

namespace tonvela {

namespace {

struct EncodingItem {
    int code;
    const char* text;
    int bitRate;  // 0: not a preset
    int sampleRate;
    int channel;
};

constexpr std::array<EncodingItem, 6> kEncodingItems = {{
    {kEncodingAuto, "Auto", 0, 0, 0},
    {648, "11025 Hz, 16 kbps, Mono (OK quality, smaller file size)", 16, 11025, 0},
    {904, "22050 Hz, 24 kbps, Mono (normal quality, small file size)", 24, 22050, 0},
    {1160, "22050 Hz, 64 kbps, Mono (good quality, normal file size)", 64, 22050, 0},
    {1416, "44100 Hz, 128 kbps, Stereo (close to CD-quality, large size)", 128, 44100, 1},
    {kEncodingCustom, "Custom", 0, 0, 0},
}};

const SettingRule& RuleOf(const char* name) { return FindSetting(name)->rule; }

// Selects the item carrying value, else the first item.
void SelectData(QComboBox* box, int value) {
    const int i = box->findData(value);
    box->setCurrentIndex(i >= 0 ? i : 0);
}

}  // namespace

CPageMP3Opt::CPageMP3Opt(const CConvertOptions& s, QWidget* parent) : COptionsPage(parent) {
    setObjectName(QStringLiteral("PageMP3Opt"));
    autoEncoding = s.AutoDestMP3EncodingParam != 0;
    bitRate = s.MP3BitRate;
    sampleRate = s.MP3SampleRate;
    channel = s.MP3ChannelNum - 1;
    changeVolume = s.ChangeVolume != 0;
    coefficient = s.VolumeCoef;
    openedCoefficient_ = coefficient;
    skipFirst = s.SkipFirstMs;
    endChoice = s.TrimLastType == 1 ? 1 : 0;
    skipLast = s.SkipLastMs;
    duration = s.ConvertDuration;

    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };

    // Sound encoding parameters
    auto* encodingGroup = new QGroupBox(tr("Sound Encoding Parameters"), this);
    encoding_ = new QComboBox(encodingGroup);
    named(encoding_, "encoding");
    for (const auto& item : kEncodingItems) encoding_->addItem(QString::fromLatin1(item.text), item.code);
    bitRates_ = new QComboBox(encodingGroup);
    named(bitRates_, "bitRate");
    for (int b : kMp3BitRates) bitRates_->addItem(QStringLiteral("%1 kbps").arg(b), b);
    sampleRates_ = new QComboBox(encodingGroup);
    named(sampleRates_, "sampleRate");
    for (int r : kMp3SampleRates) sampleRates_->addItem(QStringLiteral("%1 Hz").arg(r), r);
    mono_ = new QRadioButton(tr("&Mono"), encodingGroup);
    named(mono_, "mono");
    stereo_ = new QRadioButton(tr("Ste&reo"), encodingGroup);
    named(stereo_, "stereo");
    auto* channels = new QButtonGroup(this);
    channels->addButton(mono_, 0);
    channels->addButton(stereo_, 1);

    auto* encLabel = new QLabel(tr("&Encoding options:"), encodingGroup);
    encLabel->setBuddy(encoding_);
    auto* brLabel = new QLabel(tr("&Bit rate:"), encodingGroup);
    brLabel->setBuddy(bitRates_);
    auto* srLabel = new QLabel(tr("&Sample frequency:"), encodingGroup);
    srLabel->setBuddy(sampleRates_);
    auto* eg = new QGridLayout(encodingGroup);
    eg->addWidget(encLabel, 0, 0);
    eg->addWidget(encoding_, 0, 1, 1, 4);
    eg->addWidget(brLabel, 1, 0);
    eg->addWidget(bitRates_, 1, 1);
    eg->addWidget(srLabel, 1, 2, Qt::AlignRight);
    eg->addWidget(sampleRates_, 1, 3);
    auto* chRow = new QHBoxLayout;
    chRow->addWidget(mono_);
    chRow->addWidget(stereo_);
    chRow->addStretch();
    eg->addLayout(chRow, 2, 1, 1, 4);
    eg->setColumnStretch(4, 1);

    // Trim sound
    auto* trimGroup = new QGroupBox(tr("Trim Sound"), this);
    auto msEdit = [&](const char* name, const char* setting) {
        auto* e = new CNumberEdit(trimGroup);
        named(e, name);
        e->SetSpinRange(RuleOf(setting).low, RuleOf(setting).high, 100);
        e->setMinimumWidth(110);
        return e;
    };
    skipFirstEdit_ = msEdit("skipFirst", "SkipFirstMs");
    skipLastEdit_ = msEdit("skipLast", "SkipLastMs");
    durationEdit_ = msEdit("duration", "ConvertDuration");
    // The radio buttons before these two name them on screen; screen readers hear it here.
    skipLastEdit_->setAccessibleName(tr("Ignore the last, milliseconds"));
    durationEdit_->setAccessibleName(tr("Only convert, milliseconds"));
    auto* skipFirstLabel = new QLabel(tr("Skip the &first"), trimGroup);
    skipFirstLabel->setBuddy(skipFirstEdit_);
    ignoreLast_ = new QRadioButton(tr("Ignore the &last"), trimGroup);
    named(ignoreLast_, "ignoreLast");
    onlyConvert_ = new QRadioButton(tr("Only convert"), trimGroup);
    named(onlyConvert_, "onlyConvert");
    auto* ends = new QButtonGroup(this);
    ends->addButton(ignoreLast_, 0);
    ends->addButton(onlyConvert_, 1);
    auto* tg = new QGridLayout(trimGroup);
    tg->addWidget(skipFirstLabel, 0, 0);
    tg->addWidget(skipFirstEdit_, 0, 1);
    tg->addWidget(new QLabel(tr("milliseconds"), trimGroup), 0, 2);
    tg->addWidget(ignoreLast_, 1, 0);
    tg->addWidget(skipLastEdit_, 1, 1);
    tg->addWidget(new QLabel(tr("milliseconds"), trimGroup), 1, 2);
    tg->addWidget(onlyConvert_, 2, 0);
    tg->addWidget(durationEdit_, 2, 1);
    tg->addWidget(new QLabel(tr("milliseconds    (0 means no limit)"), trimGroup), 2, 2);
    tg->setColumnStretch(2, 1);

    // Volume
    auto* volumeGroup = new QGroupBox(tr("Volume"), this);
    changeVolumeBox_ = new QCheckBox(tr("Change &volume"), volumeGroup);
    named(changeVolumeBox_, "changeVolume");
    coefEdit_ = new CNumberEdit(volumeGroup);
    named(coefEdit_, "coefficient");
    coefEdit_->SetSpinRange(RuleOf("VolumeCoef").low, RuleOf("VolumeCoef").high, 10);
    coefEdit_->setMinimumWidth(90);
    auto* coefLabel = new QLabel(tr("&Coefficient:"), volumeGroup);
    coefLabel->setBuddy(coefEdit_);
    auto* hint = new QLabel(tr("< 100% - Decrease volume\n= 100% - No changes\n> 100% - Increase volume"), volumeGroup);
    hint->setTextFormat(Qt::PlainText);
    auto* vg = new QGridLayout(volumeGroup);
    vg->addWidget(changeVolumeBox_, 0, 0, 1, 3);
    vg->addWidget(coefLabel, 1, 0);
    vg->addWidget(coefEdit_, 1, 1);
    vg->addWidget(new QLabel(QStringLiteral("%"), volumeGroup), 1, 2);
    vg->addWidget(hint, 0, 3, 3, 1);
    vg->setColumnStretch(3, 1);
    vg->setColumnMinimumWidth(2, 30);

    auto* help = new QLabel(QStringLiteral("<a href=\"#\">?</a>"), this);
    help->setToolTip(tr("Help on the sound options"));
    connect(help, &QLabel::linkActivated, this,
            [dataFolder = s.dataFolder] { OpenHelpTopic(dataFolder, QStringLiteral("options.html"), QStringLiteral("sound")); });

    auto* page = new QVBoxLayout(this);
    page->addWidget(encodingGroup);
    page->addWidget(trimGroup);
    page->addWidget(volumeGroup);
    page->addStretch();
    page->addWidget(help, 0, Qt::AlignRight);

    // Set-up
    int selected = -1;
    if (autoEncoding) {
        selected = 0;
    } else {
        for (int i = 0; i < static_cast<int>(kEncodingItems.size()); ++i) {
            const auto& item = kEncodingItems[static_cast<std::size_t>(i)];
            if (item.bitRate == bitRate && item.sampleRate == sampleRate && item.channel == channel) selected = i;
        }
    }
    encoding_->setCurrentIndex(selected >= 0 ? selected : encoding_->findData(kEncodingCustom));
    ShowMembers();
    EnableEncodingControls(!autoEncoding);
    changeVolumeBox_->setChecked(changeVolume);
    coefEdit_->SetNumber(coefficient);
    coefEdit_->setEnabled(changeVolume);
    skipFirstEdit_->SetNumber(skipFirst);
    skipLastEdit_->SetNumber(skipLast);
    durationEdit_->SetNumber(duration);
    (endChoice == 1 ? onlyConvert_ : ignoreLast_)->setChecked(true);
    EnableEndEdits();

    connect(encoding_, &QComboBox::activated, this, [this] { OnEncodingChanged(); });
    connect(bitRates_, &QComboBox::activated, this, [this] { OnBitRateChanged(); });
    connect(sampleRates_, &QComboBox::activated, this, [this] { OnSampleRateChanged(); });
    connect(channels, &QButtonGroup::idClicked, this, [this] { OnChannelClicked(); });
    connect(changeVolumeBox_, &QCheckBox::clicked, this, [this] { OnChangeVolumeClicked(); });
    connect(ends, &QButtonGroup::idClicked, this, [this](int id) { OnEndChoiceClicked(id); });
}

void CPageMP3Opt::ShowMembers() {
    SelectData(bitRates_, bitRate);
    SelectData(sampleRates_, sampleRate);
    mono_->setChecked(channel != 1);
    stereo_->setChecked(channel == 1);
}

void CPageMP3Opt::EnableEncodingControls(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(bitRates_), static_cast<QWidget*>(sampleRates_),
                       static_cast<QWidget*>(mono_), static_cast<QWidget*>(stereo_)})
        w->setEnabled(on);
}

void CPageMP3Opt::EnableEndEdits() {
    skipLastEdit_->setEnabled(endChoice == 0);
    durationEdit_->setEnabled(endChoice == 1);
}

void CPageMP3Opt::SelectCustom() { encoding_->setCurrentIndex(encoding_->findData(kEncodingCustom)); }

bool CPageMP3Opt::ReadControls(CNumberEdit** bad) {
    channel = stereo_->isChecked() ? 1 : 0;
    changeVolume = changeVolumeBox_->isChecked();
    endChoice = onlyConvert_->isChecked() ? 1 : 0;
    const std::array<std::pair<CNumberEdit*, int*>, 4> edits = {
        {{coefEdit_, &coefficient}, {skipFirstEdit_, &skipFirst}, {skipLastEdit_, &skipLast}, {durationEdit_, &duration}}};
    for (const auto& [edit, member] : edits) {
        const auto v = edit->Number();
        if (!v) {
            if (bad) *bad = edit;
            return false;
        }
        *member = *v;
    }
    return true;
}

void CPageMP3Opt::OnEncodingChanged() {
    const int code = encoding_->currentData().toInt();
    if (code == kEncodingAuto) {
        EnableEncodingControls(false);
        return;
    }
    EnableEncodingControls(true);
    channel = stereo_->isChecked() ? 1 : 0;
    for (const auto& item : kEncodingItems) {
        if (item.code == code && item.bitRate != 0) {
            bitRate = item.bitRate;
            sampleRate = item.sampleRate;
            channel = item.channel;
        }
    }
    ShowMembers();
}

void CPageMP3Opt::OnBitRateChanged() {
    const int newRate = bitRates_->currentData().toInt();
    if (newRate == bitRate) return;
    sampleRate = Mp3SampleRateFor(sampleRates_->currentData().toInt(), newRate);
    SelectData(sampleRates_, sampleRate);
    SelectCustom();
    bitRate = newRate;
}

void CPageMP3Opt::OnSampleRateChanged() {
    const int newRate = sampleRates_->currentData().toInt();
    if (newRate == sampleRate) return;
    bitRate = Mp3BitRateFor(newRate, bitRates_->currentData().toInt());
    SelectData(bitRates_, bitRate);
    SelectCustom();
    sampleRate = newRate;
}

void CPageMP3Opt::OnChannelClicked() {
    const int now = stereo_->isChecked() ? 1 : 0;
    if (now != channel) SelectCustom();
    channel = now;
}

void CPageMP3Opt::OnChangeVolumeClicked() {
    changeVolume = changeVolumeBox_->isChecked();
    coefEdit_->setEnabled(changeVolume);
    if (changeVolume) coefEdit_->setFocus();
}

void CPageMP3Opt::OnEndChoiceClicked(int choice) {
    endChoice = choice;
    EnableEndEdits();
    (choice == 0 ? skipLastEdit_ : durationEdit_)->setFocus();
}

bool CPageMP3Opt::OnKillActive() {
    CNumberEdit* bad = nullptr;
    if (!ReadControls(&bad)) {
        ShowMessageBox(this, tr("Please enter an integer."), MessageIcon::Exclamation);
        bad->setFocus();
        bad->selectAll();
        return false;
    }
    const SettingRule& volume = RuleOf("VolumeCoef");
    if (coefficient < volume.low || coefficient > volume.high) {
        if (!changeVolume) {
            // Not used while the volume stays as it is: the value the page opened with comes back.
            coefficient = openedCoefficient_;
            coefEdit_->SetNumber(coefficient);
            return true;
        }
        ShowMessageBox(this, tr("Invalid coefficient. It must be between %1 and %2.").arg(volume.low).arg(volume.high),
                       MessageIcon::Exclamation);
        coefEdit_->setFocus();
        coefEdit_->selectAll();
        return false;
    }
    return true;
}

bool CPageMP3Opt::OnOK() {
    if (!ReadControls()) return false;
    // The bit rate and sample rate members follow every change of their boxes already; read
    // from the boxes they could turn a value the boxes do not list into their first item.
    autoEncoding = encoding_->currentData().toInt() == kEncodingAuto;
    return true;
}

void CPageMP3Opt::CopyBack(CConvertOptions& s) const {
    if (autoEncoding) {
        s.AutoDestMP3EncodingParam = 1;
    } else {
        s.AutoDestMP3EncodingParam = 0;
        s.MP3BitRate = bitRate;
        s.MP3SampleRate = sampleRate;
        s.MP3ChannelNum = channel + 1;
    }
    s.ChangeVolume = changeVolume ? 1 : 0;
    s.VolumeCoef = coefficient;
    s.SkipFirstMs = skipFirst;
    s.SkipLastMs = skipLast;
    s.ConvertDuration = duration;
    s.TrimLastType = endChoice;
}

}  // namespace tonvela
