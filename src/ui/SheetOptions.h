// The options sheet: its pages edit copies of the settings; OK copies them back and saves.
#pragma once

#include <QDialog>

#include "ui/PageSWFOpt.h"

class QTabWidget;

namespace tonvela {

class CConvertOptions;
class CSettingsStore;
class CPageMP3Opt;
class CPageOutputOpt;

// Runs the sheet modally, opening on lastPage. On OK the pages' values are copied back into
// settings and the option settings are saved into store (mask 8); the result is true. On
// Cancel settings keep their values (but for the shading coefficients, which the SWF page
// changes at once). Either way lastPage becomes the page that was active when it closed.
bool RunOptionsSheet(CConvertOptions& settings, CSettingsStore& store, int& lastPage, QWidget* parent);

class CSheetOptions : public QDialog {
    Q_OBJECT
public:
    enum Page { kSwfPage, kSoundPage, kOutputPage, kPageCount };

    // The pages start from copies of settings; the SWF page's shading sliders change settings'
    // GC and TBC at once.
    CSheetOptions(CConvertOptions& settings, int startPage, QWidget* parent = nullptr, PlayerFactory factory = {});
    ~CSheetOptions() override;

    // After OK: the pages' values into settings.
    void CopyBack(CConvertOptions& settings) const;
    int ActivePage() const;

    CPageSWFOpt* SwfPage() const { return swf_; }
    CPageMP3Opt* SoundPage() const { return sound_; }
    CPageOutputOpt* OutputPage() const { return output_; }

    void accept() override;

protected:
    // The sheet takes the size that holds every template's rows (or what the screen has room
    // for: the pages scroll then) and keeps it while open, so OK and Cancel stay where they are.
    void showEvent(QShowEvent* event) override;

private:
    void OnPageChanged(int index);
    COptionsPage* PageAt(int index) const;

    QTabWidget* tabs_;
    CPageSWFOpt* swf_;
    CPageMP3Opt* sound_;
    CPageOutputOpt* output_;
    int current_ = 0;
    bool reverting_ = false;
    bool sizeFixed_ = false;
};

}  // namespace tonvela
