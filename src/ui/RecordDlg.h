// The recorder: records from the sound card into a WAV file, plays it back, saves it.
#pragma once

#include <QAudioFormat>
#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "audio/WavAudioSource.h"
#include "audio/WavFileWriter.h"
#include "convert/TempFile.h"

class QAudioSink;
class QAudioSource;
class QComboBox;
class QIODevice;
class QLabel;
class QPushButton;
class QSlider;

namespace tonvela {

class CRecordDlg : public QDialog {
    Q_OBJECT
public:
    enum State { kReady = 0, kRecording = 100, kPlaying = 200, kPaused = 300 };

    explicit CRecordDlg(QWidget* parent = nullptr);
    ~CRecordDlg() override;

    // After exec() returned Accepted (the user chose Convert to SWF): the saved WAV file.
    const std::string& SavedPath() const { return savedPath_; }

    int GetState() const { return state_; }
    // Whole seconds of the last finished recording; 0 when there is none.
    unsigned GetRecordedLength() const { return recordedLength_; }

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct DeleteLater {
        void operator()(QObject* o) const;
    };

    void OnRecord();
    void OnStopRec();
    void OnPlayPause();
    void OnStop();
    void OnSaveAs();
    void OnConvertToSwf();
    void OnVolume(int position);
    void OnSecond();
    void OnCaptureData();
    void OnFeedPlayback();

    void StopAll();
    void FinishRecording();
    void FinishPlayback();
    bool FlushCapture();
    QString AskSavePath();
    bool CopyRecording(const QString& target);
    void UpdateControls();
    void ShowStatus();
    int SelectedQuality() const;
    double PlaybackVolume() const;

    int state_ = kReady;
    int quality_ = 300;
    unsigned recordingSeconds_ = 0;
    unsigned recordedLength_ = 0;
    unsigned playedSeconds_ = 0;
    std::string savedPath_;

    CTempFile tempFile_;  // unnamed: a crash leaves nothing behind
    CWavFileWriter writer_;
    CWavAudioSource reader_;
    std::vector<char> buffer_;  // one preset buffer: captured bytes on their way to the file
    std::size_t buffered_ = 0;
    bool writeFailed_ = false;
    std::unique_ptr<QAudioSource, DeleteLater> source_;
    QIODevice* captureIo_ = nullptr;  // owned by source_
    std::unique_ptr<QAudioSink, DeleteLater> sink_;
    QIODevice* playIo_ = nullptr;  // owned by sink_
    bool playDataEnded_ = false;
    qint64 playBytesTotal_ = 0;
    int playBytesPerSecond_ = 0;
    QTimer secondTimer_;
    QTimer feedTimer_;

    QLabel* status_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* stopRec_ = nullptr;
    QPushButton* playPause_ = nullptr;
    QPushButton* stop_ = nullptr;
    QComboBox* qualityBox_ = nullptr;
    QSlider* volume_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace tonvela
