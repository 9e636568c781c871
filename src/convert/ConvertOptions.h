// Every user setting, each field named after its value in the settings store.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace tonvela {

class CSettingsStore;

// Save masks.
inline constexpr int kSaveFolder = 4;
inline constexpr int kSaveOptions = 8;

// Output folder choices (SWFOutputFolderOpt).
inline constexpr int kOutputSameFolder = 199;
inline constexpr int kOutputFolderPerSwf = 299;
inline constexpr int kOutputCustomFolder = 399;
// Existing target choices (TargetExistsOpt).
inline constexpr int kTargetRename = 11;
inline constexpr int kTargetOverwrite = 22;
inline constexpr int kTargetSkip = 33;
// Sound type (SWFSoundType) and control SWF type (ButtonSWFType).
inline constexpr int kSoundStreaming = 10;
inline constexpr int kSoundEvent = 20;
inline constexpr int kButtonSingleSwf = 11;
inline constexpr int kButtonShellPlayer = 22;

class CConvertOptions {
public:
    // Defaults, with the path defaults built from the data folder.
    explicit CConvertOptions(const std::filesystem::path& dataFolder);

    // Reads the store's "Software\Tonvela\Options" key; missing values keep their field.
    void Load(const CSettingsStore& store);
    // mask kSaveFolder writes Folder, kSaveOptions every other value. 0 for mask 0, else 1.
    int Save(CSettingsStore& store, int mask) const;

    // Sound encoding and trimming
    int AutoDestMP3EncodingParam = 1;
    int MP3BitRate = 24;
    int MP3SampleRate = 22050;
    int MP3ChannelNum = 1;
    int ChangeVolume = 0;
    int VolumeCoef = 100;
    int SkipFirstMs = 0;
    int SkipLastMs = 0;
    int ConvertDuration = 0;
    int TrimLastType = 0;

    // SWF kind and appearance
    int CreateCtrlSWF = 1;
    int ButtonSWFType = kButtonSingleSwf;
    int SWFSoundType = kSoundStreaming;
    std::string ControlSWF;
    std::string ShellPlayerSWF;
    int SWFFrameRate = 12;
    int SWFInitPlay = 1;
    int SWFLoopPlay = 0;
    int BlankFrames = 0;
    int SWFBkgColor = 0xFFFFFF;
    int SWFBtnColor = 0x00AA00;
    int TrackSWFBkgTopColor = 0xE8FFE8;
    int TrackSWFBkgBottomColor = 0x9DFF9D;
    int TrackSWFBorderColor = 0x008000;
    std::string JPEGFile;
    int JPEGWidth = 100;
    int JPEGHeight = 75;
    std::array<float, 4> GC = {0.4f, 1.0f, 0.3f, 0.8f};
    float TBC = 1.0f;

    // Output
    int SWFOutputFolderOpt = kOutputSameFolder;
    std::string SWFSpecifiedFolder;
    int CreateDirs = 0;
    int TargetExistsOpt = kTargetRename;
    int OutputFiles2MyDocuments = 1;
    int BrowseOutFolder = 1;
    int CreateHtmlFile = 1;
    int AddFileNameOnHtml = 1;

    // Other
    std::string Folder;

    // Fixed, not persisted.
    std::string EmptySWF;
    std::string HtmlTemplateFile;

    // The data folder the path defaults were built from (with a trailing "/").
    std::string dataFolder;
};

}  // namespace tonvela
