#include "ui/recorder/Recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/PendingOutput.h"
#include "platform/UniqueFd.h"
#include "ui/RecorderQuality.h"

namespace tonvela {

namespace {

constexpr int kTickMs = 100;        // status and level meter
constexpr int kFeedPeriodMs = 40;   // playback: the device is topped up this often

}  // namespace

void CRecorder::DeleteLater::operator()(QObject* o) const {
    if (o) o->deleteLater();
}

CRecorder::CRecorder(QObject* parent) : QObject(parent) {
    connect(&capture_, &CPulseCapture::dataReady, this, &CRecorder::OnCaptureData);
    connect(&capture_, &CPulseCapture::lost, this, &CRecorder::OnCaptureLost);
    connect(&tick_, &QTimer::timeout, this, [this] {
        if (state_ == kPlaying) OnFeedPlayback();
        if (state_ == kRecording || state_ == kPlaying) emit progress();
    });
}

CRecorder::~CRecorder() {
    capture_.Stop();
    writer_.Finish();
    if (sink_) {
        disconnect(sink_.get(), nullptr, this, nullptr);
        sink_->stop();
    }
}

double CRecorder::TakeSeconds() const {
    const std::uint64_t bytesPerSecond = static_cast<std::uint64_t>(sampleRate_) * static_cast<std::uint64_t>(channels_) * 2;
    return bytesPerSecond == 0 ? 0.0 : static_cast<double>(takeBytes_) / static_cast<double>(bytesPerSecond);
}

double CRecorder::PlayedSeconds() const {
    if (state_ != kPlaying && state_ != kPaused) return 0.0;
    if (!sink_) return 0.0;
    return std::min(static_cast<double>(sink_->processedUSecs()) / 1e6, TakeSeconds());
}

void CRecorder::SetState(State s) {
    state_ = s;
    if (s == kRecording || s == kPlaying) {
        tick_.start(s == kPlaying ? kFeedPeriodMs : kTickMs);
    } else {
        tick_.stop();
    }
    emit stateChanged();
}

CRecorder::StartResult CRecorder::StartRecording(const QByteArray& device, int quality) {
    StopAll();
    const RecorderPreset& preset = RecorderPresetFor(quality);
    CTakeFile file;
    if (!file.Create()) return StartResult::kNoFile;
    if (!capture_.Start(device, preset.sampleRate, preset.channels)) return StartResult::kNoDevice;
    if (!writer_.Create(file.Path(), preset.channels == 2, 16, preset.sampleRate)) {
        capture_.Stop();
        return StartResult::kNoFile;
    }
    take_ = std::move(file);  // the previous take goes only now that the new one runs
    sampleRate_ = preset.sampleRate;
    channels_ = preset.channels;
    takeBytes_ = 0;
    saved_ = false;
    level_ = 0.0;
    SetState(kRecording);
    return StartResult::kStarted;
}

// Writes what the capture holds; false after a write failure (the disk is full).
bool CRecorder::WriteCaptured() {
    const QByteArray data = capture_.Take();
    if (data.isEmpty()) return true;
    int peak = 0;
    const auto* samples = reinterpret_cast<const unsigned char*>(data.constData());
    for (qsizetype i = 0; i + 1 < data.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<int>(static_cast<std::int16_t>(samples[i] | (samples[i + 1] << 8)))));
    level_ = std::min(1.0, peak / 32767.0);
    if (!writer_.Write(data.constData(), static_cast<std::size_t>(data.size()))) return false;
    takeBytes_ += static_cast<std::uint64_t>(data.size());
    // The header follows the data, so a take cut short by a crash still reads as what was recorded.
    return writer_.UpdateSizes();
}

void CRecorder::OnCaptureData() {
    if (state_ != kRecording) return;
    if (WriteCaptured()) return;
    FinishRecording();
    emit interrupted(Interruption::kWriteFailed);
}

void CRecorder::OnCaptureLost() {
    AbandonSink();
    if (state_ != kRecording) return;
    WriteCaptured();  // what arrived before the loss; a failed write keeps what reached the disk
    FinishRecording();
    emit interrupted(Interruption::kDeviceLost);
}

void CRecorder::StopRecording() {
    if (state_ != kRecording) return;
    const bool ok = WriteCaptured();
    FinishRecording();
    if (!ok) emit interrupted(Interruption::kWriteFailed);
}

void CRecorder::FinishRecording() {
    capture_.Stop();
    // A failed write kept the whole frames that reached the disk: the take is what is on disk.
    writer_.Finish();
    std::error_code ec;
    const auto size = std::filesystem::file_size(take_.Path(), ec);
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(channels_) * 2;
    if (!ec && size >= CWavFileWriter::kHeaderBytes)
        takeBytes_ = (size - CWavFileWriter::kHeaderBytes) / frameBytes * frameBytes;
    level_ = 0.0;
    SetState(kReady);
}

bool CRecorder::StartPlayback(double volume) {
    if (state_ == kRecording || state_ == kPlaying || state_ == kPaused || !HasTake()) return false;
    if (!reader_.Open(take_.Path(), 0) || reader_.GetBitsPerSample() != 16) {
        reader_.Close();
        return false;
    }
    // Qt's PulseAudio sink waits without end in start() for a stream on a server that has just
    // gone, which would freeze the window: the server is asked first, with a time limit.
    if (!ListInputDevices().reached) {
        reader_.Close();
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(reader_.GetSampleRate());
    format.setChannelCount(reader_.GetChannels());
    format.setSampleFormat(QAudioFormat::Int16);
    // One sink for the recorder's life, made again only for a take of another format. Qt's
    // PulseAudio sink can still report from the server's thread a moment after stop(), and its
    // destructor fails once the server has gone: deleted right after a playback, or after the
    // server died, it crashes the program. Kept, it is deleted with the recorder, unless the
    // server is lost first (see AbandonSink).
    QIODevice* io = nullptr;
    if (!sink_ || sink_->format() != format) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        sink_.reset();
        if (device.isNull() || !device.isFormatSupported(format)) {
            reader_.Close();
            return false;
        }
        sink_.reset(new QAudioSink(device, format, this));
        sink_->setBufferSize(format.bytesForDuration(500000));
    }
    sink_->setVolume(volume);
    io = sink_->start();
    if (io == nullptr || sink_->error() != QAudio::NoError) {
        sink_->stop();
        reader_.Close();
        return false;
    }
    playIo_ = io;
    connect(sink_.get(), &QAudioSink::stateChanged, this, &CRecorder::OnSinkState);
    playBuffer_.assign(static_cast<std::size_t>(format.bytesForDuration(250000)), 0);
    playBuffered_ = 0;
    playBytesTotal_ = 0;
    playDataEnded_ = false;
    SetState(kPlaying);
    OnFeedPlayback();
    return true;
}

void CRecorder::OnSinkState(QAudio::State s) {
    if (!sink_ || (state_ != kPlaying && state_ != kPaused)) return;
    // Played to the end (the device ran dry after the last bytes), or the device was lost.
    if (s == QAudio::IdleState && playDataEnded_ && playBuffered_ == 0) {
        FinishPlayback();
    } else if (s == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
        FinishPlayback();
        AbandonSink();
        emit interrupted(Interruption::kPlaybackLost);
    }
}

void CRecorder::OnFeedPlayback() {
    if (state_ != kPlaying || playIo_ == nullptr) return;
    const qint64 frameBytes = std::max(2, 2 * reader_.GetChannels());
    // playBuffer_[0, playBuffered_) holds bytes read from the file that the device has not taken.
    while (!playDataEnded_ || playBuffered_ > 0) {
        if (playBuffered_ == 0) {
            qint64 want = std::min<qint64>(sink_->bytesFree(), static_cast<qint64>(playBuffer_.size()));
            want -= want % frameBytes;
            if (want <= 0) break;
            playBuffered_ = reader_.ReadData(playBuffer_.data(), static_cast<std::size_t>(want));
            if (playBuffered_ == 0) {
                playDataEnded_ = true;
                break;
            }
        }
        const qint64 written = playIo_->write(playBuffer_.data(), static_cast<qint64>(playBuffered_));
        if (written <= 0) break;
        playBytesTotal_ += written;
        std::copy(playBuffer_.begin() + written, playBuffer_.begin() + static_cast<std::ptrdiff_t>(playBuffered_),
                  playBuffer_.begin());
        playBuffered_ -= static_cast<std::size_t>(written);
    }
    const qint64 bytesPerSecond = static_cast<qint64>(reader_.GetSampleRate()) * frameBytes;
    // All data handed over and played: the end of the take.
    if (playDataEnded_ && playBuffered_ == 0 && bytesPerSecond > 0 &&
        (sink_->state() == QAudio::IdleState || sink_->processedUSecs() >= playBytesTotal_ * 1000000 / bytesPerSecond))
        FinishPlayback();
}

void CRecorder::PauseResume() {
    if (state_ == kPlaying) {
        sink_->suspend();
        SetState(kPaused);
    } else if (state_ == kPaused) {
        sink_->resume();
        SetState(kPlaying);
    }
}

void CRecorder::FinishPlayback() {
    if (sink_) {
        disconnect(sink_.get(), nullptr, this, nullptr);
        sink_->stop();
    }
    playIo_ = nullptr;
    playBuffered_ = 0;
    reader_.Close();
    SetState(kReady);
}

// The sound server is gone: a sink made for it can be neither used nor deleted (see
// StartPlayback), so it is stopped and let go, a few hundred bytes once per lost server; the next
// playback makes a new one.
void CRecorder::AbandonSink() {
    if (!sink_) return;
    disconnect(sink_.get(), nullptr, this, nullptr);
    sink_->stop();
    sink_->setParent(nullptr);
    (void)sink_.release();
}

void CRecorder::StopPlayback() {
    if (state_ == kPlaying || state_ == kPaused) FinishPlayback();
}

void CRecorder::StopAll() {
    StopRecording();
    StopPlayback();
}

void CRecorder::SetVolume(double volume) {
    if (sink_) sink_->setVolume(volume);
}

bool CRecorder::SaveCopy(const std::string& target) {
    if (!HasTake()) return false;
    // The copy is complete before it replaces anything: a failed copy leaves the target as it was.
    CPendingOutput out;
    if (!out.Create(target)) return false;
    CUniqueFd in(::open(take_.Path().c_str(), O_RDONLY | O_CLOEXEC));
    CUniqueFd to(::open(out.TempPath().c_str(), O_WRONLY | O_CLOEXEC));
    if (!in.IsOpen() || !to.IsOpen()) return false;
    std::array<char, 65536> chunk{};
    for (;;) {
        const ssize_t n = ::read(in.Get(), chunk.data(), chunk.size());
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
    if (!to.Close() || !out.Commit()) return false;
    saved_ = true;
    return true;
}

}  // namespace tonvela
