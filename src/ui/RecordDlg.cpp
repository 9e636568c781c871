#include "ui/RecordDlg.h"

#include <QComboBox>
#include <QFile>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "convert/TempFile.h"
#include "platform/DocumentsFolder.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsStore.h"
#include "ui/MessageBox.h"
#include "ui/PushButton.h"
#include "ui/RecorderQuality.h"
#include "ui/SettingsNotSaved.h"

namespace tonvela {

namespace {

constexpr int kVolumeMax = 16384;
constexpr int kVolumeStep = 2048;

const char* const kProfileSection = "Options";
const char* const kQualityName = "RecQuality";
const char* const kDeviceName = "RecDevice";
const char* const kSaveFolderName = "RecSaveFolder";

// Minutes and seconds; tenths too below ten seconds, where a whole second is a large part.
QString Time(double seconds) {
    if (seconds < 10.0) {
        const int tenths = static_cast<int>(std::floor(seconds * 10.0 + 1e-6));
        return QString::asprintf("00:%02d.%d", tenths / 10, tenths % 10);
    }
    const auto whole = static_cast<unsigned long long>(seconds);
    return QString::asprintf("%02llu:%02llu", whole / 60, whole % 60);
}

// The profile beside the settings store; nothing when the user's folder cannot be determined.
std::optional<CProfileFile> Profile() {
    std::filesystem::path folder = CSettingsStore::DefaultFolder();
    if (folder.empty()) return std::nullopt;
    return CProfileFile(std::move(folder));
}

}  // namespace

CRecordDlg::CRecordDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Record"));

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    // Only a recording under way is in red: it is what needs the user's attention.
    status_->setStyleSheet(QStringLiteral("QLabel#status { font-size: 18px; }"
                                          "QLabel#status[recording=\"true\"] { color: rgb(204, 0, 0); font-weight: bold; }"));
    status_->setMinimumWidth(360);
    level_ = new QProgressBar(this);
    level_->setObjectName(QStringLiteral("level"));
    level_->setRange(0, 100);
    level_->setTextVisible(false);
    level_->setFixedHeight(12);
    level_->setToolTip(tr("Input level"));
    level_->setAccessibleName(level_->toolTip());

    record_ = MakeButton(tr("&Record"), "record", this);
    stopRec_ = MakeButton(tr("&Stop Rec"), "stopRec", this);
    playPause_ = MakeButton(tr("&Play"), "playPause", this);
    stop_ = MakeButton(tr("S&top"), "stop", this);
    saveAs_ = MakeButton(tr("Save &As"), "saveAs", this);
    convert_ = MakeButton(tr("&Convert to SWF"), "convert", this);
    cancel_ = MakeButton(tr("Cancel"), "cancel", this);
    // The window's status line: what was done last, such as where the take was saved.
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);

    deviceBox_ = new QComboBox(this);
    deviceBox_->setObjectName(QStringLiteral("device"));
    deviceBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    deviceBox_->setMinimumContentsLength(24);
    auto* deviceLabel = new QLabel(tr("&Input:"), this);
    deviceLabel->setBuddy(deviceBox_);
    qualityBox_ = new QComboBox(this);
    qualityBox_->setObjectName(QStringLiteral("quality"));
    auto* qualityLabel = new QLabel(tr("Recording &quality:"), this);
    qualityLabel->setBuddy(qualityBox_);

    volume_ = new QSlider(Qt::Vertical, this);
    volume_->setObjectName(QStringLiteral("volume"));
    volume_->setRange(0, kVolumeMax);
    volume_->setTickInterval(kVolumeStep);
    volume_->setPageStep(kVolumeStep);
    volume_->setTickPosition(QSlider::TicksBothSides);
    volume_->setValue(kVolumeMax);  // the top of the slider is full volume
    auto* volumeLabel = new QLabel(tr("&Volume"), this);
    volumeLabel->setBuddy(volume_);

    auto* transport = new QHBoxLayout;
    for (QPushButton* b : {record_, stopRec_, playPause_, stop_}) transport->addWidget(b);
    auto* choices = new QGridLayout;
    choices->addWidget(deviceLabel, 0, 0);
    choices->addWidget(deviceBox_, 0, 1);
    choices->addWidget(qualityLabel, 1, 0);
    choices->addWidget(qualityBox_, 1, 1);
    choices->setColumnStretch(1, 1);
    auto* left = new QVBoxLayout;
    left->addWidget(status_);
    left->addWidget(level_);
    left->addSpacing(8);
    left->addLayout(transport);
    left->addSpacing(8);
    left->addLayout(choices);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(volumeLabel, 0, Qt::AlignHCenter);
    right->addWidget(volume_, 1, Qt::AlignHCenter);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addSpacing(12);
    top->addLayout(right);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(saveAs_);
    bottom->addWidget(convert_);
    bottom->addStretch(1);
    bottom->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(bottom);
    layout->addWidget(message_);

    int quality = kDefaultRecQuality;
    QByteArray device;
    if (auto profile = Profile()) {
        quality = profile->GetInt(kProfileSection, kQualityName, kDefaultRecQuality);
        device = QByteArray::fromStdString(profile->GetString(kProfileSection, kDeviceName).value_or(std::string()));
    }
    for (const RecorderPreset& p : kRecorderPresets) qualityBox_->addItem(tr(p.text), p.code);
    int index = qualityBox_->findData(quality);
    if (index < 0) index = qualityBox_->findData(kDefaultRecQuality);
    qualityBox_->setCurrentIndex(index);
    FillDevices(device);

    connect(record_, &QPushButton::clicked, this, &CRecordDlg::OnRecord);
    connect(stopRec_, &QPushButton::clicked, &recorder_, &CRecorder::StopRecording);
    connect(playPause_, &QPushButton::clicked, this, &CRecordDlg::OnPlayPause);
    connect(stop_, &QPushButton::clicked, &recorder_, &CRecorder::StopPlayback);
    connect(saveAs_, &QPushButton::clicked, this, &CRecordDlg::OnSaveAs);
    connect(convert_, &QPushButton::clicked, this, &CRecordDlg::OnConvertToSwf);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(volume_, &QSlider::valueChanged, this, [this] { recorder_.SetVolume(PlaybackVolume()); });
    connect(&recorder_, &CRecorder::stateChanged, this, [this] {
        ShowStatus();
        UpdateControls();
    });
    connect(&recorder_, &CRecorder::progress, this, &CRecordDlg::ShowStatus);
    connect(&recorder_, &CRecorder::interrupted, this, &CRecordDlg::OnInterrupted);

    ShowStatus();
    UpdateControls();
}

CRecordDlg::~CRecordDlg() = default;

// The server's inputs, monitors included; the remembered one is chosen when it is still there,
// else the server's default input.
void CRecordDlg::FillDevices(const QByteArray& remembered) {
    const InputDeviceList list = ListInputDevices();
    for (const InputDevice& d : list.devices) deviceBox_->addItem(d.description, d.id);
    int index = remembered.isEmpty() ? -1 : deviceBox_->findData(remembered);
    if (index < 0) index = deviceBox_->findData(list.defaultId);
    if (index < 0 && deviceBox_->count() > 0) index = 0;
    deviceBox_->setCurrentIndex(index);
}

void CRecordDlg::done(int result) {
    recorder_.StopAll();
    if (result != Accepted && recorder_.HasTake() && !recorder_.IsSaved() &&
        !AskYesNo(this, tr("The recording has not been saved. Are you sure you want to discard it?"),
                  DefaultAnswer::No))
        return;
    if (auto profile = Profile()) {
        // Both values go to the same file: one failure says it for both.
        bool saved = profile->WriteInt(kProfileSection, kQualityName, SelectedQuality());
        if (saved && deviceBox_->currentIndex() >= 0)
            saved = profile->WriteString(kProfileSection, kDeviceName, deviceBox_->currentData().toByteArray().toStdString());
        if (!saved)
            ReportSettingsNotSaved(this, tr("The recording quality and input"),
                                   "cannot write " + profile->FilePath().string());
    }
    QDialog::done(result);
}

void CRecordDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return: event->accept(); return;
        default: QDialog::keyPressEvent(event);  // Escape: Cancel
    }
}

int CRecordDlg::SelectedQuality() const {
    return qualityBox_->currentData().toInt();
}

double CRecordDlg::PlaybackVolume() const {
    return static_cast<double>(volume_->value()) / kVolumeMax;
}

void CRecordDlg::OnRecord() {
    recorder_.StopAll();
    // A saved take is kept in its file: recording again loses nothing.
    if (recorder_.HasTake() && !recorder_.IsSaved() &&
        !AskYesNo(this, tr("The previous recording has not been saved. Discard it and record again?"),
                  DefaultAnswer::No))
        return;
    switch (recorder_.StartRecording(deviceBox_->currentData().toByteArray(), SelectedQuality())) {
        case CRecorder::StartResult::kStarted:
            savedAs_.clear();
            message_->clear();
            break;
        case CRecorder::StartResult::kNoDevice:
            ShowMessageBox(this, tr("Recording could not start: no sound input was found. Check that a microphone or other "
                              "input is connected and enabled."),
                           MessageIcon::Exclamation);
            break;
        case CRecorder::StartResult::kNoFile: {
            ShowMessageBox(this,
                           tr("Failed to create the temporary file for the recording in '%1'.")
                               .arg(QString::fromStdString(TemporaryFolder().string())),
                           MessageIcon::Exclamation);
            break;
        }
    }
}

void CRecordDlg::OnInterrupted(CRecorder::Interruption why) {
    switch (why) {
        case CRecorder::Interruption::kDeviceLost:
            ShowMessageBox(this,
                           tr("Recording stopped: the sound device went away. What was recorded up to then is kept."),
                           MessageIcon::Exclamation);
            break;
        case CRecorder::Interruption::kWriteFailed:
            ShowMessageBox(this,
                           tr("Recording stopped: the sound could not be written to the temporary folder (the disk may "
                              "be full). What was recorded up to then is kept."),
                           MessageIcon::Exclamation);
            break;
        case CRecorder::Interruption::kPlaybackLost:
            ShowMessageBox(this, tr("Playback stopped: the sound device went away."), MessageIcon::Exclamation);
            break;
    }
}

void CRecordDlg::OnPlayPause() {
    if (recorder_.GetState() != CRecorder::kReady) {
        recorder_.PauseResume();
    } else if (recorder_.HasTake() && !recorder_.StartPlayback(PlaybackVolume())) {
        ShowMessageBox(this, tr("Failed to play. Be sure your sound card works properly."), MessageIcon::Exclamation);
    }
}

QString CRecordDlg::AskSavePath() {
    QFileDialog dialog(this, tr("Save As"), QString(), tr("WAV File (*.wav)"));
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    // Where the last recording went (else the documents folder), under a name of its time.
    std::optional<CProfileFile> profile = Profile();
    QString folder = QString::fromStdString(profile ? profile->GetString(kProfileSection, kSaveFolderName).value_or("") : "");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QString::fromStdString(UserDocumentsFolder());
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    dialog.selectFile(QStringLiteral("Recording %1.wav")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    if (profile) profile->WriteString(kProfileSection, kSaveFolderName, QFileInfo(chosen).absolutePath().toStdString());
    return chosen;
}

void CRecordDlg::OnSaveAs() {
    if (!recorder_.HasTake()) return;
    const QString path = AskSavePath();
    if (path.isEmpty()) return;
    if (recorder_.SaveCopy(QFile::encodeName(path).toStdString())) {
        savedAs_ = path;
        message_->setText(tr("Saved as '%1'.").arg(path));
    } else {
        ShowMessageBox(this, tr("Failed to save recorded file as '%1'.").arg(path), MessageIcon::Exclamation);
    }
}

void CRecordDlg::OnConvertToSwf() {
    recorder_.StopAll();
    if (!recorder_.HasTake()) return;
    // The take saved with Save As is converted from that file, while the file is still there.
    if (recorder_.IsSaved() && !savedAs_.isEmpty() && QFileInfo(savedAs_).isFile()) {
        savedPath_ = QFile::encodeName(savedAs_).toStdString();
        accept();
        return;
    }
    const QString path = AskSavePath();
    if (path.isEmpty()) return;
    if (!recorder_.SaveCopy(QFile::encodeName(path).toStdString())) {
        ShowMessageBox(this, tr("Failed to save recorded file as '%1'.").arg(path), MessageIcon::Exclamation);
        return;
    }
    savedPath_ = QFile::encodeName(path).toStdString();
    accept();
}

void CRecordDlg::ShowStatus() {
    const double length = recorder_.TakeSeconds();
    switch (recorder_.GetState()) {
        case CRecorder::kRecording: status_->setText(tr("Recording...  %1").arg(Time(length))); break;
        case CRecorder::kPlaying:
            status_->setText(tr("Playing...  %1 / %2").arg(Time(recorder_.PlayedSeconds()), Time(length)));
            break;
        case CRecorder::kPaused:
            status_->setText(tr("Paused  %1 / %2").arg(Time(recorder_.PlayedSeconds()), Time(length)));
            break;
        default: status_->setText(tr("Ready.  Length: %1").arg(Time(recorder_.HasTake() ? length : 0.0))); break;
    }
    const CRecorder::State state = recorder_.GetState();
    // While a take plays the bar shows how far it has played; otherwise the input level.
    const double bar = state == CRecorder::kPlaying || state == CRecorder::kPaused
                           ? (length > 0.0 ? recorder_.PlayedSeconds() / length : 0.0)
                           : recorder_.Level();
    level_->setValue(static_cast<int>(std::lround(std::clamp(bar, 0.0, 1.0) * 100.0)));
    const bool recording = state == CRecorder::kRecording;
    if (status_->property("recording").toBool() != recording) {
        status_->setProperty("recording", recording);
        status_->style()->unpolish(status_);
        status_->style()->polish(status_);
    }
}

void CRecordDlg::UpdateControls() {
    const CRecorder::State state = recorder_.GetState();
    const bool recording = state == CRecorder::kRecording;
    const bool playing = state == CRecorder::kPlaying || state == CRecorder::kPaused;
    const bool haveRecording = recorder_.HasTake();
    record_->setEnabled(!recording);
    stopRec_->setEnabled(recording);
    playPause_->setText(state == CRecorder::kPlaying ? tr("&Pause") : tr("&Play"));
    playPause_->setEnabled(playing || (state == CRecorder::kReady && haveRecording));
    stop_->setEnabled(playing);
    qualityBox_->setEnabled(!recording);
    deviceBox_->setEnabled(!recording && deviceBox_->count() > 0);
    level_->setEnabled(recording || playing);
    level_->setToolTip(playing ? tr("Playback position") : tr("Input level"));
    level_->setAccessibleName(level_->toolTip());
    saveAs_->setEnabled(playing || (state == CRecorder::kReady && haveRecording));
    convert_->setEnabled(playing || (state == CRecorder::kReady && haveRecording));
}

}  // namespace tonvela
