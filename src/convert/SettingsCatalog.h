// What each setting is and which values it takes: its name as stored and as "--set" takes it,
// its rule (a range or a list of choices, and what a stored value outside them is read as) and
// a one-line meaning. --set, CConvertOptions::Load and the options pages all ask this table, so
// the command line and the window accept the same values. A new field of CConvertOptions gets
// one line here (a test compares the table with what CConvertOptions::Save writes).
#pragma once

#include <climits>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ConvertOptions.h"

namespace tonvela {

enum class SettingType { Integer, Colour, Text, ShadingGC, ShadingTBC };

// The values an Integer or Colour setting takes: either the choices (when there are any) or
// low to high. A stored value outside them is read as `otherwise` for choices (what the
// conversion has always made of such a value; kNearestChoice: the nearest choice) and as the
// nearest bound for a range; a colour's unused top byte is dropped.
inline constexpr int kNearestChoice = INT_MIN;
struct SettingRule {
    int low = 0;
    int high = -1;
    std::span<const int> choices;
    int otherwise = 0;
};

struct SettingInfo {
    const char* name;
    SettingType type;
    int CConvertOptions::*intField;          // Integer and Colour
    std::string CConvertOptions::*textField;  // Text
    const char* values;                      // Integer: the unit; others: what may be given
    const char* meaning;
    SettingRule rule = {};
};

// The MP3 stream's choices: the bit rates and sample rates offered, and for each sample rate the
// bit rates it is offered with (MPEG-2.5 at 11025 Hz stops at 64 kbit/s, MPEG-2 at 22050 Hz at
// 160, MPEG-1 at 44100 Hz starts at 32).
inline constexpr int kMp3BitRates[] = {16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320};
inline constexpr int kMp3SampleRates[] = {11025, 22050, 44100};
inline constexpr int kMp3ChannelNums[] = {1, 2};
struct Mp3RateRule {
    int sampleRate;
    int lowestBitRate;
    int highestBitRate;
};
inline constexpr Mp3RateRule kMp3RateRules[] = {{11025, 16, 64}, {22050, 16, 160}, {44100, 32, 320}};

// A SWF counts its frames in 16 bits. A streaming movie has its first frame, the blank frames,
// at least one frame of sound and (with actions) its last frame.
inline constexpr int kSwfMaxFrames = 65535;
inline constexpr int kMaxBlankFrames = kSwfMaxFrames - 2;

inline constexpr int kFlagValues[] = {0, 1};
inline constexpr int kButtonSwfTypes[] = {kButtonSingleSwf, kButtonShellPlayer};
inline constexpr int kSoundTypes[] = {kSoundStreaming, kSoundEvent};
inline constexpr int kOutputFolderOpts[] = {kOutputSameFolder, kOutputFolderPerSwf, kOutputCustomFolder};
inline constexpr int kTargetExistsOpts[] = {kTargetRename, kTargetOverwrite, kTargetSkip};
inline constexpr int kWebPlayers[] = {kWebPlayerNone, kWebPlayerFromUrl, kWebPlayerBesidePage};

namespace catalog {
constexpr SettingRule Range(int low, int high) { return {low, high, {}, 0}; }
constexpr SettingRule OneOf(std::span<const int> choices, int otherwise) { return {0, -1, choices, otherwise}; }
// 0 or 1; any other stored value counts as set, as the conversion reads it.
constexpr SettingRule Flag() { return OneOf(kFlagValues, 1); }
constexpr SettingInfo Int(const char* n, int CConvertOptions::*f, SettingRule r, const char* unit, const char* m) {
    return {n, SettingType::Integer, f, nullptr, unit, m, r};
}
constexpr SettingInfo Colour(const char* n, int CConvertOptions::*f, const char* m) {
    return {n, SettingType::Colour, f, nullptr, "0xBBGGRR (red in the low byte)", m, Range(0, 0xFFFFFF)};
}
constexpr SettingInfo Text(const char* n, std::string CConvertOptions::*f, const char* v, const char* m) {
    return {n, SettingType::Text, nullptr, f, v, m, {}};
}
}  // namespace catalog

// In the order of the options pages: sound, SWF, output, other.
inline constexpr SettingInfo kSettingsCatalog[] = {
    catalog::Int("AutoDestMP3EncodingParam", &CConvertOptions::AutoDestMP3EncodingParam, catalog::OneOf(kFlagValues, 0), "",
                 "1: MP3 rate, bit rate and channels chosen per file; 0: the three settings below"),
    catalog::Int("MP3BitRate", &CConvertOptions::MP3BitRate, catalog::OneOf(kMp3BitRates, kNearestChoice), "kbit/s",
                 "MP3 bit rate when not automatic"),
    catalog::Int("MP3SampleRate", &CConvertOptions::MP3SampleRate, catalog::OneOf(kMp3SampleRates, kNearestChoice), "Hz",
                 "MP3 sample rate in Hz when not automatic"),
    catalog::Int("MP3ChannelNum", &CConvertOptions::MP3ChannelNum, catalog::OneOf(kMp3ChannelNums, 2), "", "1 mono, 2 stereo, when not automatic"),
    catalog::Int("ChangeVolume", &CConvertOptions::ChangeVolume, catalog::Flag(), "", "1: multiply the sound by VolumeCoef"),
    catalog::Int("VolumeCoef", &CConvertOptions::VolumeCoef, catalog::Range(10, 3000), "%", "volume in percent; 100 keeps it"),
    catalog::Int("SkipFirstMs", &CConvertOptions::SkipFirstMs, catalog::Range(0, INT_MAX), "ms", "milliseconds cut from the start"),
    catalog::Int("SkipLastMs", &CConvertOptions::SkipLastMs, catalog::Range(0, INT_MAX), "ms",
                 "milliseconds cut from the end when TrimLastType is 0"),
    catalog::Int("ConvertDuration", &CConvertOptions::ConvertDuration, catalog::Range(0, INT_MAX), "ms",
                 "milliseconds converted after the start when TrimLastType is 1; 0: all"),
    catalog::Int("TrimLastType", &CConvertOptions::TrimLastType, catalog::OneOf(kFlagValues, 0), "",
                 "0: cut SkipLastMs from the end; 1: only convert ConvertDuration"),
    catalog::Int("CreateCtrlSWF", &CConvertOptions::CreateCtrlSWF, catalog::Flag(), "",
                 "1: a SWF with playback controls; 0: a plain sound SWF"),
    catalog::Int("ButtonSWFType", &CConvertOptions::ButtonSWFType, catalog::OneOf(kButtonSwfTypes, kButtonSingleSwf), "",
                 "with controls: 11 one SWF; 22 a sound SWF plus a shell-player SWF"),
    catalog::Int("SWFSoundType", &CConvertOptions::SWFSoundType, catalog::OneOf(kSoundTypes, kSoundEvent), "",
                 "without controls: 10 streaming sound; 20 event sound"),
    catalog::Text("ControlSWF", &CConvertOptions::ControlSWF, "path of a .swf",
                  "control template when ButtonSWFType is 11"),
    catalog::Text("ShellPlayerSWF", &CConvertOptions::ShellPlayerSWF, "path of a .swf",
                  "shell-player template when ButtonSWFType is 22"),
    catalog::Int("SWFFrameRate", &CConvertOptions::SWFFrameRate, catalog::Range(1, 255), "",
                 "frames per second of the SWF"),
    catalog::Int("SWFInitPlay", &CConvertOptions::SWFInitPlay, catalog::Flag(), "", "1: the movie starts playing by itself"),
    catalog::Int("SWFLoopPlay", &CConvertOptions::SWFLoopPlay, catalog::Flag(), "", "1: the movie plays in a loop"),
    catalog::Int("BlankFrames", &CConvertOptions::BlankFrames, catalog::Range(0, kMaxBlankFrames), "",
                 "empty frames before the sound; with the sound at most 65535 frames"),
    catalog::Colour("SWFBkgColor", &CConvertOptions::SWFBkgColor, "background of the movie and the page's player"),
    catalog::Colour("SWFBtnColor", &CConvertOptions::SWFBtnColor, "button colour of control templates"),
    catalog::Colour("TrackSWFBkgTopColor", &CConvertOptions::TrackSWFBkgTopColor,
                    "track-bar templates: top colour of the bar"),
    catalog::Colour("TrackSWFBkgBottomColor", &CConvertOptions::TrackSWFBkgBottomColor,
                    "track-bar templates: bottom colour of the bar"),
    catalog::Colour("TrackSWFBorderColor", &CConvertOptions::TrackSWFBorderColor,
                    "track-bar templates: border colour"),
    catalog::Text("JPEGFile", &CConvertOptions::JPEGFile, "path of a .jpg",
                  "background picture of JPEG-background templates"),
    catalog::Int("JPEGWidth", &CConvertOptions::JPEGWidth, catalog::Range(0, 32767), "pixels", "width of the picture and movie"),
    catalog::Int("JPEGHeight", &CConvertOptions::JPEGHeight, catalog::Range(0, 32767), "pixels",
                 "height of the picture and movie"),
    {"GC", SettingType::ShadingGC, nullptr, nullptr, "four numbers 0 to 1, comma-separated",
     "shading coefficients of control templates", {}},
    {"TBC", SettingType::ShadingTBC, nullptr, nullptr, "0 to 5", "shading coefficient of track-bar templates", {}},
    catalog::Int("SWFOutputFolderOpt", &CConvertOptions::SWFOutputFolderOpt, catalog::OneOf(kOutputFolderOpts, kOutputSameFolder), "",
                 "199 beside the source; 299 a folder per SWF; 399 SWFSpecifiedFolder"),
    catalog::Text("SWFSpecifiedFolder", &CConvertOptions::SWFSpecifiedFolder, "folder path",
                  "output folder when SWFOutputFolderOpt is 399"),
    catalog::Int("CreateDirs", &CConvertOptions::CreateDirs, catalog::Flag(), "",
                 "with 399: repeat the source's folder path below the output folder"),
    catalog::Int("TargetExistsOpt", &CConvertOptions::TargetExistsOpt, catalog::OneOf(kTargetExistsOpts, kTargetRename), "",
                 "existing output: 11 add a number; 22 overwrite; 33 skip"),
    catalog::Int("OutputFiles2MyDocuments", &CConvertOptions::OutputFiles2MyDocuments, catalog::Flag(), "",
                 "1: write to the documents folder when the output folder is not writable"),
    catalog::Int("BrowseOutFolder", &CConvertOptions::BrowseOutFolder, catalog::Flag(), "",
                 "1: show the first SWF in the file manager after converting"),
    catalog::Int("CreateHtmlFile", &CConvertOptions::CreateHtmlFile, catalog::Flag(), "",
                 "1: write an HTML page beside each SWF"),
    catalog::Int("AddFileNameOnHtml", &CConvertOptions::AddFileNameOnHtml, catalog::Flag(), "",
                 "1: the page shows the SWF's name below the player"),
    catalog::Int("HtmlWebPlayer", &CConvertOptions::HtmlWebPlayer, catalog::OneOf(kWebPlayers, kWebPlayerNone), "",
                 "web player of the page: 0 none; 1 from HtmlWebPlayerUrl; 2 copied beside the page"),
    catalog::Text("HtmlWebPlayerUrl", &CConvertOptions::HtmlWebPlayerUrl, "web address",
                  "script of the web player when HtmlWebPlayer is 1"),
    catalog::Int("ConvertJobs", &CConvertOptions::ConvertJobs, catalog::Range(1, kMaxConvertJobs), "",
                 "files the window converts at once"),
    catalog::Text("Folder", &CConvertOptions::Folder, "folder path", "folder last chosen by Add Folder"),
};

// The catalog line of a name (exact, as stored), or null.
const SettingInfo* FindSetting(std::string_view name);

// Whether an Integer or Colour setting takes v (other kinds: always).
bool SettingAllows(const SettingInfo& setting, int v);
// What a stored v is read as: v itself when allowed, else as the rule says.
int NearestAllowed(const SettingInfo& setting, int v);
// The values a setting takes, for people: "0 to 65533", "11025, 22050, 44100 (Hz)", a path...
std::string SettingValuesText(const SettingInfo& setting);

// The bit rates offered at an MP3 sample rate, in kMp3BitRates order (none for another rate).
std::vector<int> Mp3BitRatesAt(int sampleRate);
bool Mp3PairAllowed(int sampleRate, int bitRate);
// The bit rate that stays allowed with a new sample rate: the nearest one offered there.
int Mp3BitRateFor(int sampleRate, int bitRate);
// The sample rate that stays allowed with a new bit rate: the current one when it offers the
// bit rate, else the nearest rate that does.
int Mp3SampleRateFor(int sampleRate, int bitRate);

// The rules that tie settings together (the MP3 sample rate and bit rate). False, with error
// naming the rule and the values allowed, when the record breaks one.
bool CheckSettingRules(const CConvertOptions& options, std::string& error);

// A setting's value in the form "--set" takes: "24", "0x00AA00", a path, "0.4,1,0.3,0.8".
std::string SettingValueText(const CConvertOptions& options, const SettingInfo& setting);

// Up to count known names nearest to a mistyped one, best first: case is ignored, then names
// are ranked by edit distance; only names within reach of the typed one are offered.
std::vector<std::string> ClosestSettingNames(std::string_view name, std::size_t count = 3);

}  // namespace tonvela
