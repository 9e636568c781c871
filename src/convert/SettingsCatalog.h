// What each setting is, for people: its name as stored and as "--set" takes it, the values it
// accepts and a one-line meaning. The command line's --list-settings prints it; the window can
// show the same lines. A new field of CConvertOptions gets one line here (a test compares the
// table with what CConvertOptions::Save writes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ConvertOptions.h"

namespace tonvela {

enum class SettingType { Integer, Colour, Text, ShadingGC, ShadingTBC };

struct SettingInfo {
    const char* name;
    SettingType type;
    int CConvertOptions::*intField;          // Integer and Colour
    std::string CConvertOptions::*textField;  // Text
    const char* values;                      // what may be given, as typed after "NAME="
    const char* meaning;
};

namespace catalog {
constexpr SettingInfo Int(const char* n, int CConvertOptions::*f, const char* v, const char* m) {
    return {n, SettingType::Integer, f, nullptr, v, m};
}
constexpr SettingInfo Colour(const char* n, int CConvertOptions::*f, const char* m) {
    return {n, SettingType::Colour, f, nullptr, "0xBBGGRR (red in the low byte)", m};
}
constexpr SettingInfo Text(const char* n, std::string CConvertOptions::*f, const char* v, const char* m) {
    return {n, SettingType::Text, nullptr, f, v, m};
}
}  // namespace catalog

// In the order of the options pages: sound, SWF, output, other.
inline constexpr SettingInfo kSettingsCatalog[] = {
    catalog::Int("AutoDestMP3EncodingParam", &CConvertOptions::AutoDestMP3EncodingParam, "0, 1",
                 "1: MP3 rate, bit rate and channels chosen per file; 0: the three settings below"),
    catalog::Int("MP3BitRate", &CConvertOptions::MP3BitRate, "8 to 320 (kbit/s)", "MP3 bit rate when not automatic"),
    catalog::Int("MP3SampleRate", &CConvertOptions::MP3SampleRate, "11025, 22050, 44100",
                 "MP3 sample rate in Hz when not automatic"),
    catalog::Int("MP3ChannelNum", &CConvertOptions::MP3ChannelNum, "1, 2", "1 mono, 2 stereo, when not automatic"),
    catalog::Int("ChangeVolume", &CConvertOptions::ChangeVolume, "0, 1", "1: multiply the sound by VolumeCoef"),
    catalog::Int("VolumeCoef", &CConvertOptions::VolumeCoef, "10 to 3000 (%)", "volume in percent; 100 keeps it"),
    catalog::Int("SkipFirstMs", &CConvertOptions::SkipFirstMs, "0 or more (ms)", "milliseconds cut from the start"),
    catalog::Int("SkipLastMs", &CConvertOptions::SkipLastMs, "0 or more (ms)",
                 "milliseconds cut from the end when TrimLastType is 0"),
    catalog::Int("ConvertDuration", &CConvertOptions::ConvertDuration, "0 or more (ms)",
                 "milliseconds converted after the start when TrimLastType is 1; 0: all"),
    catalog::Int("TrimLastType", &CConvertOptions::TrimLastType, "0, 1",
                 "0: cut SkipLastMs from the end; 1: only convert ConvertDuration"),
    catalog::Int("CreateCtrlSWF", &CConvertOptions::CreateCtrlSWF, "0, 1",
                 "1: a SWF with playback controls; 0: a plain sound SWF"),
    catalog::Int("ButtonSWFType", &CConvertOptions::ButtonSWFType, "11, 22",
                 "with controls: 11 one SWF; 22 a sound SWF plus a shell-player SWF"),
    catalog::Int("SWFSoundType", &CConvertOptions::SWFSoundType, "10, 20",
                 "without controls: 10 streaming sound; 20 event sound"),
    catalog::Text("ControlSWF", &CConvertOptions::ControlSWF, "path of a .swf",
                  "control template when ButtonSWFType is 11"),
    catalog::Text("ShellPlayerSWF", &CConvertOptions::ShellPlayerSWF, "path of a .swf",
                  "shell-player template when ButtonSWFType is 22"),
    catalog::Int("SWFFrameRate", &CConvertOptions::SWFFrameRate, "1 to 255", "frames per second of the SWF"),
    catalog::Int("SWFInitPlay", &CConvertOptions::SWFInitPlay, "0, 1", "1: the movie starts playing by itself"),
    catalog::Int("SWFLoopPlay", &CConvertOptions::SWFLoopPlay, "0, 1", "1: the movie plays in a loop"),
    catalog::Int("BlankFrames", &CConvertOptions::BlankFrames, "0 to 32767", "empty frames before the sound"),
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
    catalog::Int("JPEGWidth", &CConvertOptions::JPEGWidth, "0 to 32767 (pixels)", "width of the picture and movie"),
    catalog::Int("JPEGHeight", &CConvertOptions::JPEGHeight, "0 to 32767 (pixels)",
                 "height of the picture and movie"),
    {"GC", SettingType::ShadingGC, nullptr, nullptr, "four numbers 0 to 1, comma-separated",
     "shading coefficients of control templates"},
    {"TBC", SettingType::ShadingTBC, nullptr, nullptr, "0 to 5", "shading coefficient of track-bar templates"},
    catalog::Int("SWFOutputFolderOpt", &CConvertOptions::SWFOutputFolderOpt, "199, 299, 399",
                 "199 beside the source; 299 a folder per SWF; 399 SWFSpecifiedFolder"),
    catalog::Text("SWFSpecifiedFolder", &CConvertOptions::SWFSpecifiedFolder, "folder path",
                  "output folder when SWFOutputFolderOpt is 399"),
    catalog::Int("CreateDirs", &CConvertOptions::CreateDirs, "0, 1",
                 "with 399: repeat the source's folder path below the output folder"),
    catalog::Int("TargetExistsOpt", &CConvertOptions::TargetExistsOpt, "11, 22, 33",
                 "existing output: 11 add a number; 22 overwrite; 33 skip"),
    catalog::Int("OutputFiles2MyDocuments", &CConvertOptions::OutputFiles2MyDocuments, "0, 1",
                 "1: write to the documents folder when the output folder is not writable"),
    catalog::Int("BrowseOutFolder", &CConvertOptions::BrowseOutFolder, "0, 1",
                 "1: show the first SWF in the file manager after converting"),
    catalog::Int("CreateHtmlFile", &CConvertOptions::CreateHtmlFile, "0, 1", "1: write an HTML page beside each SWF"),
    catalog::Int("AddFileNameOnHtml", &CConvertOptions::AddFileNameOnHtml, "0, 1",
                 "1: the page shows the SWF's name below the player"),
    catalog::Int("HtmlWebPlayer", &CConvertOptions::HtmlWebPlayer, "0, 1, 2",
                 "web player of the page: 0 none; 1 from HtmlWebPlayerUrl; 2 copied beside the page"),
    catalog::Text("HtmlWebPlayerUrl", &CConvertOptions::HtmlWebPlayerUrl, "web address",
                  "script of the web player when HtmlWebPlayer is 1"),
    catalog::Int("ConvertJobs", &CConvertOptions::ConvertJobs, "1 to 64", "files the window converts at once"),
    catalog::Text("Folder", &CConvertOptions::Folder, "folder path", "folder last chosen by Add Folder"),
};

// The catalog line of a name (exact, as stored), or null.
const SettingInfo* FindSetting(std::string_view name);

// A setting's value in the form "--set" takes: "24", "0x00AA00", a path, "0.4,1,0.3,0.8".
std::string SettingValueText(const CConvertOptions& options, const SettingInfo& setting);

// Up to count known names nearest to a mistyped one, best first: case is ignored, then names
// are ranked by edit distance; only names within reach of the typed one are offered.
std::vector<std::string> ClosestSettingNames(std::string_view name, std::size_t count = 3);

}  // namespace tonvela
