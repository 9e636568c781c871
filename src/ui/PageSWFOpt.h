// "SWF Options": the kind of SWF, frame rate, playback and HTML choices, the control template
// with its colours and shading, the JPEG background, and a live preview of the template.
// The page's "Appearance" column is built in PageSWFOptAppearance.cpp, the preview in
// PageSWFOptPreview.cpp.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "ui/ColourText.h"
#include "ui/OptionsPage.h"
#include "ui/PreviewFolder.h"
#include "ui/ShadingSliders.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;

namespace tonvela {

class CColorSwatch;
class CConvertOptions;
class CNumberEdit;
class CShockwaveFlash;
class CTemplatePreview;
struct TemplateLook;

// Makes the preview's player; the default is CShockwaveFlash::Create.
using PlayerFactory = std::function<std::unique_ptr<CShockwaveFlash>(QWidget* parent)>;

class CPageSWFOpt : public COptionsPage {
    Q_OBJECT
public:
    // live is the running program's settings: the shading sliders change its GC and TBC at
    // once. The other members start from settings.
    CPageSWFOpt(const CConvertOptions& settings, CConvertOptions& live, PlayerFactory factory = {},
                QWidget* parent = nullptr);
    ~CPageSWFOpt() override;

    bool OnKillActive() override;
    bool OnOK() override;
    void CopyBack(CConvertOptions& settings) const;

    bool HasPreview() const { return player_ != nullptr; }
    // Shows the option rows of one template kind (kKindNone: none of them) without touching
    // the members; the sheet tries each to find the size that holds them all.
    void ShowOptionGroups(int kind);
    // The template kinds that have option rows of their own.
    static constexpr int kKindsWithOptions[] = {100, 300, 600};
    // The rows of the chosen template's kind again.
    void RefreshOptionGroups() { UpdateOptionGroups(); }
    // Gives the preview's player back while the window around it is still whole.
    void ReleasePlayer();
    // The movie the preview shows now (empty before the first one).
    const std::filesystem::path& PreviewFile() const { return previewFile_; }

    // Members
    int swfType = 0;    // 0 with controls, 1 without
    int layout = 0;     // 0 single SWF, 1 sound SWF with a shell player
    int soundType = 0;  // 0 streaming, 1 event
    bool initPlay = true;
    bool loopPlay = false;
    bool createHtml = true;
    bool fileNameInHtml = true;
    int blankFrames = 0;
    int frameRate = 12;
    std::string controlSWF;
    std::string shellPlayerSWF;
    std::uint32_t buttonColour = 0;
    std::uint32_t backgroundColour = 0;
    std::uint32_t trackTopColour = 0;
    std::uint32_t trackBottomColour = 0;
    std::uint32_t trackBorderColour = 0;
    std::string jpegFile;
    int jpegWidth = 0;
    int jpegHeight = 0;

private:
    struct ColourRow {
        CColorSwatch* swatch = nullptr;
        QLineEdit* edit = nullptr;
        std::uint32_t* member = nullptr;
    };
    enum Colour { kButton, kBackground, kTop, kBottom, kBorder, kColours };

    QWidget* BuildTypeGroup();
    QWidget* BuildPlaybackGroup();
    QWidget* BuildTemplateColumn();
    QLayout* ColourLine(Colour which, const QString& label, const char* name, QWidget* parent);

    QComboBox* CurrentList() const;
    std::string CurrentTemplatePath() const;
    void ReadButtons();
    // Reads the number edits; false (after the message) when one holds no number.
    bool ReadNumbers();
    void ShowTypeRules();
    void UpdateBlankFrames();
    void UpdateOptionGroups();
    // The look settings as the page holds them now.
    TemplateLook Look() const;
    void BuildPreview();
    void SetPreviewBackground();

    void OnLayoutClicked();
    void OnSwfTypeClicked();
    void OnColourEdited(Colour which);
    void OnSwatchClicked(Colour which);
    void OnSliderMoved(int slider, int position);
    void OnPreset(int preset);
    void OnBrowseJpeg();
    void OnHelp(const QString& text);

    CConvertOptions& live_;
    std::string dataFolder_;
    bool initialised_ = false;

    QRadioButton* withControls_;
    QRadioButton* withoutControls_;
    QRadioButton* singleSwf_;
    QRadioButton* shellPlayer_;
    QLabel* diffLink_;
    QRadioButton* streaming_;
    QRadioButton* event_;
    QLabel* soundLink_;
    QComboBox* frameRates_;
    CNumberEdit* blankEdit_;
    QToolButton* blankHelp_;
    QLabel* blankBefore_;
    QLabel* blankAfter_;
    QCheckBox* initPlayBox_;
    QCheckBox* loopBox_;
    QCheckBox* htmlBox_;
    QCheckBox* fileNameBox_;
    QLabel* templateLabel_;
    QComboBox* controlList_;
    QComboBox* shellList_;
    int frameRateStart_ = -1;  // the lists' selections as the page opened
    int controlStart_ = -1;
    int shellStart_ = -1;
    std::array<ColourRow, kColours> colours_{};
    CTemplatePreview* previewArea_;
    QLabel* previewNotice_;
    QLabel* buttonOptions_;
    QWidget* group100_;
    QWidget* group300_;
    QWidget* group600_;
    std::array<QSlider*, 4> sliders_{};  // three of kind 100, then kind 300
    std::array<QLabel*, 4> sliderLabels_{};
    QPushButton* presets_;
    QMenu* presetMenu_;
    QLineEdit* jpegEdit_;
    CNumberEdit* jpegWidthEdit_;
    CNumberEdit* jpegHeightEdit_;

    std::unique_ptr<CShockwaveFlash> player_;
    CPreviewFolder previewFolder_;
    std::filesystem::path previewFile_;
    unsigned previewCount_ = 0;
};

}  // namespace tonvela
