// The Record window: buttons, labels and a level meter over the recorder object, which does the
// recording, the playback and keeps the take.
#pragma once

#include <QDialog>
#include <string>

#include "ui/recorder/Recorder.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

namespace tonvela {

class CRecordDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRecordDlg(QWidget* parent = nullptr);
    ~CRecordDlg() override;

    // After exec() returned Accepted (the user chose Convert to SWF): the saved WAV file.
    const std::string& SavedPath() const { return savedPath_; }
    const CRecorder& Recorder() const { return recorder_; }

    // Cancel, Esc and the close box come here too: a take not saved is given up only on Yes.
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnRecord();
    void OnPlayPause();
    void OnSaveAs();
    void OnConvertToSwf();
    void OnInterrupted(CRecorder::Interruption why);
    void FillDevices(const QByteArray& remembered);
    QString AskSavePath();
    void UpdateControls();
    void ShowStatus();
    int SelectedQuality() const;
    double PlaybackVolume() const;

    CRecorder recorder_;
    std::string savedPath_;
    QString savedAs_;  // where Save As put the current take


    QLabel* status_ = nullptr;
    QProgressBar* level_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* stopRec_ = nullptr;
    QPushButton* playPause_ = nullptr;
    QPushButton* stop_ = nullptr;
    QComboBox* deviceBox_ = nullptr;
    QComboBox* qualityBox_ = nullptr;
    QSlider* volume_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* message_ = nullptr;
};

}  // namespace tonvela
