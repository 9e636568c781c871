// Every user setting, each field named after its value in the settings store.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"

namespace tonvela {


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
// Web player of the HTML page (HtmlWebPlayer): none (the page for the Flash plug-in only), a
// script tag loading HtmlWebPlayerUrl, or Ruffle's files copied into "ruffle/" beside the page.
inline constexpr int kWebPlayerNone = 0;
inline constexpr int kWebPlayerFromUrl = 1;
inline constexpr int kWebPlayerBesidePage = 2;
// Ruffle on its project's public content network, the version the player tests use
// (package-lock.json).
inline constexpr const char* kDefaultWebPlayerUrl = "https://unpkg.com/@ruffle-rs/ruffle@0.6.0/ruffle.js";

// Longest string value taken from the store; a longer one is not a path we wrote and is
// ignored like a missing value.
inline constexpr std::size_t kMaxStoredString = 4096;

// Most parallel conversions a stored ConvertJobs asks for; larger values are lowered to it.
inline constexpr int kMaxConvertJobs = 64;

// A stored value that the setting's rule refuses, and what it was read as instead.
struct SettingCorrection {
    std::string name;
    std::string stored;
    std::string readAs;
};

class CConvertOptions {
public:
    // Defaults, with the path defaults built from DataFolder().
    CConvertOptions();
    // Defaults, with the path defaults built from the given data folder.
    explicit CConvertOptions(const std::filesystem::path& dataFolder);

    // Reads the store's "Software\Tonvela\Options" key (the caller has loaded the store);
    // missing values keep their field, and the loading corrections are applied. A value stored
    // with another type than its field's (string for a number, binary of another size than
    // GC's 16 or TBC's 4 bytes), a string longer than kMaxStoredString or holding a zero byte
    // counts as missing: the field keeps its value. A value the settings catalog's rules refuse
    // is read as the nearest allowed one; corrections (when given) lists each such setting.
    void Load(const CSettingsStore& store, std::vector<SettingCorrection>* corrections = nullptr);
    // mask kSaveFolder writes Folder, kSaveOptions every other value; the store is saved at once.
    // Returns 0 for mask 0, else 1 whether or not the store could be written; saved (when
    // given) tells whether it was.
    int Save(CSettingsStore& store, int mask, bool* saved = nullptr) const;
    // Writes only the named values (store names: "MP3BitRate", "Folder", ...) and saves the
    // store at once. Two programs that save different values at the same time both keep
    // theirs, as the store re-reads the file under its lock. False when it could not be saved.
    bool SaveNames(CSettingsStore& store, const std::set<std::string>& names) const;
    // The store names of the values that differ between before and after.
    static std::set<std::string> ChangedNames(const CConvertOptions& before, const CConvertOptions& after);

    // Every value the mask saves, by store name, as it is stored.
    std::vector<std::pair<const char*, CSettingsStore::Value>> StoredValues(int mask) const;

    bool operator==(const CConvertOptions&) const = default;

    // The path defaults, from dataFolder.
    std::string DefaultControlSWF() const;
    std::string DefaultShellPlayerSWF() const;

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
    // 0 to 2; other stored values load as 0. A store without the value (a new one) gets the
    // address, so that a new user's pages play in today's browsers; a stored 0 stays 0.
    int HtmlWebPlayer = kWebPlayerFromUrl;
    std::string HtmlWebPlayerUrl = kDefaultWebPlayerUrl;

    // Other
    std::string Folder;
    // Entries the window's batch converts at once (the command line's -j); 1 to kMaxConvertJobs.
    int ConvertJobs = 1;

    // Fixed, not persisted.
    std::string EmptySWF;
    std::string HtmlTemplateFile;

    // The data folder the path defaults were built from (with a trailing "/").
    std::string dataFolder;
};

}  // namespace tonvela
