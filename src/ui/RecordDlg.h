// The recorder: records from the sound card into a WAV file, plays it back, saves it.
#pragma once

#include <QDialog>
#include <string>

namespace tonvela {

class CRecordDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRecordDlg(QWidget* parent = nullptr);
    ~CRecordDlg() override;

    // After exec() returned Accepted (the user chose Convert to SWF): the saved WAV file.
    const std::string& SavedPath() const { return savedPath_; }

private:
    std::string savedPath_;
};

}  // namespace tonvela
