// The recorder without a window: records from an input of the sound server into a named WAV
// file, plays the take back, saves copies of it, and keeps the state. The window shows it and
// asks the user; everything that must not be lost lives here.
#pragma once

#include <QAudio>
#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/WavAudioSource.h"
#include "audio/WavFileWriter.h"
#include "ui/recorder/InputDevices.h"
#include "ui/recorder/PulseCapture.h"
#include "ui/recorder/TakeFile.h"

class QAudioSink;
class QIODevice;

namespace tonvela {

class CRecorder : public QObject {
    Q_OBJECT
public:
    enum State { kReady = 0, kRecording = 100, kPlaying = 200, kPaused = 300 };
    enum class StartResult { kStarted, kNoDevice, kNoFile };
    // Why a recording or a playback ended on its own.
    enum class Interruption { kDeviceLost, kWriteFailed, kPlaybackLost };
    Q_ENUM(State)
    Q_ENUM(StartResult)
    Q_ENUM(Interruption)

    explicit CRecorder(QObject* parent = nullptr);
    ~CRecorder() override;  // stops what runs and deletes the take

    // Records from device (an id of ListInputDevices; empty: the default input) at the preset of
    // quality. The previous take is deleted only once the new one runs.
    StartResult StartRecording(const QByteArray& device, int quality);
    // Ends the recording: everything captured so far goes into the file, which is then complete.
    void StopRecording();
    bool StartPlayback(double volume);  // false when the take cannot be read or played
    void PauseResume();
    void StopPlayback();
    void StopAll();
    void SetVolume(double volume);  // 0 (silent) to 1 (full)
    // Copies the take to target (replaced only by a complete copy); a copy counts as saved.
    bool SaveCopy(const std::string& target);

    State GetState() const { return state_; }
    bool HasTake() const { return state_ != kRecording && takeBytes_ > 0 && take_.Exists(); }
    bool IsSaved() const { return saved_; }
    // The take being recorded or the last one: bytes of sound data and their length.
    std::uint64_t TakeBytes() const { return takeBytes_; }
    double TakeSeconds() const;
    double PlayedSeconds() const;
    // The loudest sample of the latest captured sound, 0 to 1; 0 when not recording.
    double Level() const { return state_ == kRecording ? level_ : 0.0; }
    const std::string& TakePath() const { return take_.Path(); }
    int TakeSampleRate() const { return sampleRate_; }
    int TakeChannels() const { return channels_; }

signals:
    void stateChanged();
    void progress();  // the length, the played time or the level moved
    void interrupted(tonvela::CRecorder::Interruption why);

private:
    struct DeleteLater {
        void operator()(QObject* o) const;
    };

    void OnCaptureData();
    void OnCaptureLost();
    bool WriteCaptured();
    void FinishRecording();
    void OnFeedPlayback();
    void OnSinkState(QAudio::State s);
    void FinishPlayback();
    void AbandonSink();
    void SetState(State s);

    State state_ = kReady;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::uint64_t takeBytes_ = 0;
    bool saved_ = false;
    double level_ = 0.0;

    CTakeFile take_;
    CWavFileWriter writer_;
    CPulseCapture capture_;
    CWavAudioSource reader_;

    std::unique_ptr<QAudioSink, DeleteLater> sink_;
    QIODevice* playIo_ = nullptr;  // owned by sink_
    std::vector<char> playBuffer_;
    std::size_t playBuffered_ = 0;
    bool playDataEnded_ = false;
    qint64 playBytesTotal_ = 0;
    QTimer tick_;
};

}  // namespace tonvela
