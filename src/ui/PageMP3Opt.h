// "Sound Options": MP3 encoding parameters, trimming of the start and end, volume change.
#pragma once

#include "ui/OptionsPage.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QRadioButton;

namespace tonvela {

class CConvertOptions;
class CNumberEdit;

// Codes of the encoding-options items.
inline constexpr int kEncodingAuto = 392;
inline constexpr int kEncodingCustom = 2440;

class CPageMP3Opt : public COptionsPage {
    Q_OBJECT
public:
    CPageMP3Opt(const CConvertOptions& settings, QWidget* parent = nullptr);

    bool OnKillActive() override;
    bool OnOK() override;
    // Copies the page's values into settings (the automatic flag keeps the manual three).
    void CopyBack(CConvertOptions& settings) const;

    // Members, as the page holds them.
    bool autoEncoding = true;
    int bitRate = 24;
    int sampleRate = 22050;
    int channel = 0;  // 0 mono, 1 stereo
    bool changeVolume = false;
    int coefficient = 100;
    int skipFirst = 0;
    int endChoice = 0;  // 0 ignore the last, 1 only convert
    int skipLast = 0;
    int duration = 0;

private:
    void OnEncodingChanged();
    void OnBitRateChanged();
    void OnSampleRateChanged();
    void OnChannelClicked();
    void OnChangeVolumeClicked();
    void OnEndChoiceClicked(int choice);
    // Controls -> members (the number edits only when they hold numbers); false names the
    // first edit without one.
    bool ReadControls(CNumberEdit** bad = nullptr);
    // Members -> controls, without running the change handlers.
    void ShowMembers();
    void EnableEncodingControls(bool on);
    void EnableEndEdits();
    void SelectCustom();

    int openedCoefficient_ = 100;
    QComboBox* encoding_;
    QComboBox* bitRates_;
    QComboBox* sampleRates_;
    QRadioButton* mono_;
    QRadioButton* stereo_;
    QCheckBox* changeVolumeBox_;
    CNumberEdit* coefEdit_;
    CNumberEdit* skipFirstEdit_;
    QRadioButton* ignoreLast_;
    QRadioButton* onlyConvert_;
    CNumberEdit* skipLastEdit_;
    CNumberEdit* durationEdit_;
};

}  // namespace tonvela
