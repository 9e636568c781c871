#include "ui/RecordDlg.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/DocumentsFolder.h"
#include "platform/PendingOutput.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsStore.h"
#include "platform/UniqueFd.h"
#include "ui/MessageBox.h"
#include "ui/PushButton.h"
#include "ui/RecorderQuality.h"

namespace tonvela {

namespace {

constexpr int kVolumeMax = 16384;
constexpr int kVolumeStep = 2048;
constexpr int kFeedPeriodMs = 40;

const char* const kProfileSection = "Options";
const char* const kProfileName = "RecQuality";

QString Time(unsigned seconds) {
    return QString::asprintf("%02u:%02u", seconds / 60, seconds % 60);
}

// The profile beside the settings store; nothing when the user's folder cannot be determined.
std::optional<CProfileFile> Profile() {
    std::filesystem::path folder = CSettingsStore::DefaultFolder();
    if (folder.empty()) return std::nullopt;
    return CProfileFile(std::move(folder));
}

}  // namespace

void CRecordDlg::DeleteLater::operator()(QObject* o) const {
    if (o) o->deleteLater();
}

CRecordDlg::CRecordDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Record"));

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setStyleSheet(QStringLiteral(
        "QLabel#status { color: rgb(204, 0, 0); font-family: Tahoma; font-size: 18px; font-weight: bold; }"));
    status_->setMinimumWidth(360);

    record_ = MakeButton(tr("&Record"), "record", this);
    stopRec_ = MakeButton(tr("&Stop Rec"), "stopRec", this);
    playPause_ = MakeButton(tr("&Play"), "playPause", this);
    stop_ = MakeButton(tr("S&top"), "stop", this);
    saveAs_ = MakeButton(tr("Save &As"), "saveAs", this);
    convert_ = MakeButton(tr("&Convert to SWF"), "convert", this);
    cancel_ = MakeButton(tr("Cancel"), "cancel", this);

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
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(qualityLabel);
    qualityRow->addWidget(qualityBox_, 1);
    auto* left = new QVBoxLayout;
    left->addWidget(status_);
    left->addSpacing(8);
    left->addLayout(transport);
    left->addSpacing(8);
    left->addLayout(qualityRow);
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

    quality_ = kDefaultRecQuality;
    if (auto profile = Profile()) quality_ = profile->GetInt(kProfileSection, kProfileName, kDefaultRecQuality);
    for (const RecorderPreset& p : kRecorderPresets) qualityBox_->addItem(tr(p.text), p.code);
    int index = qualityBox_->findData(quality_);
    if (index < 0) {
        quality_ = kDefaultRecQuality;
        index = qualityBox_->findData(quality_);
    }
    qualityBox_->setCurrentIndex(index);

    secondTimer_.setInterval(1000);
    feedTimer_.setInterval(kFeedPeriodMs);
    connect(&secondTimer_, &QTimer::timeout, this, &CRecordDlg::OnSecond);
    connect(&feedTimer_, &QTimer::timeout, this, &CRecordDlg::OnFeedPlayback);
    connect(record_, &QPushButton::clicked, this, &CRecordDlg::OnRecord);
    connect(stopRec_, &QPushButton::clicked, this, &CRecordDlg::OnStopRec);
    connect(playPause_, &QPushButton::clicked, this, &CRecordDlg::OnPlayPause);
    connect(stop_, &QPushButton::clicked, this, &CRecordDlg::OnStop);
    connect(saveAs_, &QPushButton::clicked, this, &CRecordDlg::OnSaveAs);
    connect(convert_, &QPushButton::clicked, this, &CRecordDlg::OnConvertToSwf);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(volume_, &QSlider::valueChanged, this, &CRecordDlg::OnVolume);

    ShowStatus();
    UpdateControls();
}

CRecordDlg::~CRecordDlg() {
    // Devices still running (the dialog destroyed without being closed) stop before their
    // owner goes; the writer finishes and the unnamed temporary file vanishes with the members.
    if (source_) source_->stop();
    if (sink_) sink_->stop();
}

void CRecordDlg::done(int result) {
    StopAll();
    if (auto profile = Profile()) profile->WriteInt(kProfileSection, kProfileName, SelectedQuality());
    QDialog::done(result);
}

void CRecordDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Enter:
        case Qt::Key_Return: event->accept(); return;
        default: QDialog::keyPressEvent(event);
    }
}

int CRecordDlg::SelectedQuality() const {
    return qualityBox_->currentData().toInt();
}

double CRecordDlg::PlaybackVolume() const {
    return static_cast<double>(volume_->value()) / kVolumeMax;
}

void CRecordDlg::OnRecord() {
    StopAll();
    if (recordedLength_ > 0 &&
        !AskYesNo(this, tr("Are you sure you want to abandon the previous recording sound then re-record?")))
        return;

    quality_ = SelectedQuality();
    const RecorderPreset& preset = RecorderPresetFor(quality_);
    QAudioFormat format;
    format.setSampleRate(preset.sampleRate);
    format.setChannelCount(preset.channels);
    format.setSampleFormat(QAudioFormat::Int16);
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    const QString failed = tr("Failed to record. Be sure sound card is installed in your computer.");
    if (device.isNull() || !device.isFormatSupported(format)) {
        ShowMessageBox(this, failed, MessageIcon::Exclamation);
        return;
    }
    std::unique_ptr<QAudioSource, DeleteLater> source(new QAudioSource(device, format, this));
    source->setBufferSize(preset.bufferBytes);
    QIODevice* io = source->start();
    if (io == nullptr || source->error() != QAudio::NoError) {
        source->stop();
        ShowMessageBox(this, failed, MessageIcon::Exclamation);
        return;
    }

    // The previous recording goes only now that the new one can start.
    if (!tempFile_.Create() || !writer_.Create(tempFile_.Path(), preset.channels == 2, 16, preset.sampleRate)) {
        source->stop();
        tempFile_.Close();
        recordedLength_ = 0;
        ShowStatus();
        UpdateControls();
        std::error_code ec;
        const std::string folder = std::filesystem::temp_directory_path(ec).string();
        ShowMessageBox(this,
                       tr("Failed to create the temporary file for the recording in '%1'.")
                           .arg(QString::fromStdString(ec ? std::string("$TMPDIR") : folder)),
                       MessageIcon::Exclamation);
        return;
    }
    buffer_.assign(static_cast<std::size_t>(preset.bufferBytes), 0);
    buffered_ = 0;
    writeFailed_ = false;
    source_ = std::move(source);
    captureIo_ = io;
    connect(captureIo_, &QIODevice::readyRead, this, &CRecordDlg::OnCaptureData);

    state_ = kRecording;
    recordingSeconds_ = 0;
    recordedLength_ = 0;
    ShowStatus();
    UpdateControls();
    secondTimer_.start();
}

bool CRecordDlg::FlushCapture() {
    if (buffered_ == 0 || writeFailed_) return !writeFailed_;
    writeFailed_ = !writer_.Write(buffer_.data(), buffered_);
    buffered_ = 0;
    return !writeFailed_;
}

void CRecordDlg::OnCaptureData() {
    if (state_ != kRecording || captureIo_ == nullptr) return;
    for (;;) {
        const qint64 n = captureIo_->read(buffer_.data() + buffered_, static_cast<qint64>(buffer_.size() - buffered_));
        if (n <= 0) break;
        buffered_ += static_cast<std::size_t>(n);
        // A full buffer goes to the file; a failed write ends the recording with what is on disk.
        if (buffered_ == buffer_.size() && !FlushCapture()) {
            FinishRecording();
            return;
        }
    }
}

void CRecordDlg::OnStopRec() {
    if (state_ == kRecording) FinishRecording();
}

void CRecordDlg::FinishRecording() {
    // Everything captured up to this moment goes into the file, the partly filled buffer too.
    if (captureIo_ != nullptr && !writeFailed_) {
        for (;;) {
            const qint64 n =
                captureIo_->read(buffer_.data() + buffered_, static_cast<qint64>(buffer_.size() - buffered_));
            if (n <= 0) break;
            buffered_ += static_cast<std::size_t>(n);
            if (buffered_ == buffer_.size() && !FlushCapture()) break;
        }
    }
    state_ = kReady;
    if (source_) {
        disconnect(captureIo_, nullptr, this, nullptr);
        source_->stop();
        source_.reset();
    }
    captureIo_ = nullptr;
    bool ok = FlushCapture();
    ok = writer_.Finish() && ok;
    recordedLength_ = recordingSeconds_;
    secondTimer_.stop();
    ShowStatus();
    UpdateControls();
    if (!ok)
        ShowMessageBox(this,
                       tr("Recording stopped: the sound could not be written to the temporary folder (the disk may "
                          "be full). What was recorded up to then is kept."),
                       MessageIcon::Exclamation);
}

void CRecordDlg::OnPlayPause() {
    switch (state_) {
        case kPlaying:
            sink_->suspend();
            state_ = kPaused;
            break;
        case kPaused:
            sink_->resume();
            state_ = kPlaying;
            break;
        case kRecording: return;
        default: {
            if (!tempFile_.IsOpen() || !reader_.Open(tempFile_.Path(), 0)) {
                reader_.Close();
                return;
            }
            QAudioFormat format;
            format.setSampleRate(reader_.GetSampleRate());
            format.setChannelCount(reader_.GetChannels());
            format.setSampleFormat(QAudioFormat::Int16);
            const QAudioDevice device = QMediaDevices::defaultAudioOutput();
            std::unique_ptr<QAudioSink, DeleteLater> sink;
            QIODevice* io = nullptr;
            if (!device.isNull() && reader_.GetBitsPerSample() == 16 && device.isFormatSupported(format)) {
                sink.reset(new QAudioSink(device, format, this));
                sink->setBufferSize(RecorderPresetFor(quality_).bufferBytes);
                sink->setVolume(PlaybackVolume());
                io = sink->start();
                if (io == nullptr || sink->error() != QAudio::NoError) {
                    sink->stop();
                    io = nullptr;
                }
            }
            if (io == nullptr) {
                reader_.Close();
                ShowMessageBox(this, tr("Failed to play. Be sure your sound card works properly."),
                               MessageIcon::Exclamation);
                return;
            }
            sink_ = std::move(sink);
            playIo_ = io;
            connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State s) {
                // Played to the end (the device ran dry after the last bytes) or the device was lost.
                if ((s == QAudio::IdleState && playDataEnded_) ||
                    (s == QAudio::StoppedState && sink_ && sink_->error() != QAudio::NoError))
                    FinishPlayback();
            });
            playBytesPerSecond_ = format.bytesForDuration(1000000);
            playBytesTotal_ = 0;
            playDataEnded_ = false;
            buffered_ = 0;
            if (buffer_.empty()) buffer_.assign(static_cast<std::size_t>(RecorderPresetFor(quality_).bufferBytes), 0);
            state_ = kPlaying;
            playedSeconds_ = 0;
            secondTimer_.start();
            feedTimer_.start();
            OnFeedPlayback();
            break;
        }
    }
    ShowStatus();
    UpdateControls();
}

void CRecordDlg::OnFeedPlayback() {
    if (state_ != kPlaying || playIo_ == nullptr) return;
    const qint64 frameBytes = std::max(2, 2 * reader_.GetChannels());
    // buffer_[0, buffered_) holds bytes read from the file that the device has not taken yet.
    while (!playDataEnded_ || buffered_ > 0) {
        if (buffered_ == 0) {
            qint64 want = std::min<qint64>(sink_->bytesFree(), static_cast<qint64>(buffer_.size()));
            want -= want % frameBytes;
            if (want <= 0) break;
            buffered_ = reader_.ReadData(buffer_.data(), static_cast<std::size_t>(want));
            if (buffered_ == 0) {
                playDataEnded_ = true;
                break;
            }
        }
        const qint64 written = playIo_->write(buffer_.data(), static_cast<qint64>(buffered_));
        if (written <= 0) break;
        playBytesTotal_ += written;
        std::copy(buffer_.begin() + written, buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_), buffer_.begin());
        buffered_ -= static_cast<std::size_t>(written);
    }
    // All data handed over and the device has played it: the end of the recording.
    if (playDataEnded_ && buffered_ == 0 && playBytesPerSecond_ > 0 &&
        (sink_->state() == QAudio::IdleState ||
         sink_->processedUSecs() >= playBytesTotal_ * 1000000 / playBytesPerSecond_))
        FinishPlayback();
}

void CRecordDlg::FinishPlayback() {
    state_ = kReady;
    feedTimer_.stop();
    secondTimer_.stop();
    if (sink_) {
        disconnect(sink_.get(), nullptr, this, nullptr);
        sink_->stop();
        sink_.reset();
    }
    playIo_ = nullptr;
    buffered_ = 0;
    reader_.Close();
    ShowStatus();
    UpdateControls();
}

void CRecordDlg::OnStop() {
    if (state_ == kPlaying || state_ == kPaused) FinishPlayback();
}

void CRecordDlg::StopAll() {
    if (state_ == kRecording) FinishRecording();
    else if (state_ == kPlaying || state_ == kPaused) FinishPlayback();
}

void CRecordDlg::OnSecond() {
    if (state_ == kRecording) {
        ++recordingSeconds_;
    } else if (state_ == kPlaying) {
        if (playedSeconds_ < recordedLength_) ++playedSeconds_;
    } else {
        return;
    }
    ShowStatus();
}

void CRecordDlg::OnVolume(int) {
    if (sink_) sink_->setVolume(PlaybackVolume());
}

QString CRecordDlg::AskSavePath() {
    QFileDialog dialog(this, tr("Save As"), QString(), tr("WAV File (*.wav)"));
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    const std::string documents = UserDocumentsFolder();
    if (!documents.empty()) dialog.setDirectory(QString::fromStdString(documents));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

bool CRecordDlg::CopyRecording(const QString& target) {
    // The copy is complete before it replaces anything: a failed copy leaves the target as it was.
    CPendingOutput out;
    if (!out.Create(QFile::encodeName(target).toStdString())) return false;
    CUniqueFd in(::open(tempFile_.Path().c_str(), O_RDONLY | O_CLOEXEC));
    CUniqueFd to(::open(out.TempPath().c_str(), O_WRONLY | O_CLOEXEC));
    if (!in.IsOpen() || !to.IsOpen()) return false;
    std::array<char, 65536> chunk{};
    for (;;) {
        ssize_t n = ::read(in.Get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to.Get(), chunk.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
    }
    return to.Close() && out.Commit();
}

void CRecordDlg::OnSaveAs() {
    if (recordedLength_ == 0 || !tempFile_.IsOpen()) return;
    const QString path = AskSavePath();
    if (path.isEmpty()) return;
    if (CopyRecording(path))
        ShowMessageBox(this, tr("Successfully save recorded file as '%1'.").arg(path), MessageIcon::Information);
    else
        ShowMessageBox(this, tr("Failed to save recorded file as '%1'.").arg(path), MessageIcon::Exclamation);
}

void CRecordDlg::OnConvertToSwf() {
    StopAll();
    if (recordedLength_ == 0 || !tempFile_.IsOpen()) return;
    const QString path = AskSavePath();
    if (path.isEmpty()) return;
    if (!CopyRecording(path)) {
        ShowMessageBox(this, tr("Failed to save recorded file as '%1'.").arg(path), MessageIcon::Exclamation);
        return;
    }
    savedPath_ = QFile::encodeName(path).toStdString();
    accept();
}

void CRecordDlg::ShowStatus() {
    switch (state_) {
        case kRecording: status_->setText(tr("Recording...  %1").arg(Time(recordingSeconds_))); break;
        case kPlaying:
            status_->setText(tr("Playing...  %1 / %2").arg(Time(playedSeconds_), Time(recordedLength_)));
            break;
        case kPaused:
            status_->setText(tr("Paused  %1 / %2").arg(Time(playedSeconds_), Time(recordedLength_)));
            break;
        default: status_->setText(tr("Ready.  Length: %1").arg(Time(recordedLength_))); break;
    }
}

void CRecordDlg::UpdateControls() {
    const bool recording = state_ == kRecording;
    const bool playing = state_ == kPlaying || state_ == kPaused;
    const bool haveRecording = recordedLength_ > 0;
    record_->setEnabled(!recording);
    stopRec_->setEnabled(recording);
    playPause_->setText(state_ == kPlaying ? tr("&Pause") : tr("&Play"));
    playPause_->setEnabled(playing || (state_ == kReady && haveRecording));
    stop_->setEnabled(playing);
    qualityBox_->setEnabled(!recording);
    saveAs_->setEnabled(playing || (state_ == kReady && haveRecording));
    convert_->setEnabled(playing || (state_ == kReady && haveRecording));
}

}  // namespace tonvela
