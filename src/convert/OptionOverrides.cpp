#include "convert/OptionOverrides.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "convert/ConvertOptions.h"

namespace tonvela {

namespace {

struct IntField {
    const char* name;
    int CConvertOptions::*field;
};
struct TextField {
    const char* name;
    std::string CConvertOptions::*field;
};

constexpr IntField kIntFields[] = {
    {"AutoDestMP3EncodingParam", &CConvertOptions::AutoDestMP3EncodingParam},
    {"MP3BitRate", &CConvertOptions::MP3BitRate},
    {"MP3SampleRate", &CConvertOptions::MP3SampleRate},
    {"MP3ChannelNum", &CConvertOptions::MP3ChannelNum},
    {"ChangeVolume", &CConvertOptions::ChangeVolume},
    {"VolumeCoef", &CConvertOptions::VolumeCoef},
    {"SkipFirstMs", &CConvertOptions::SkipFirstMs},
    {"SkipLastMs", &CConvertOptions::SkipLastMs},
    {"ConvertDuration", &CConvertOptions::ConvertDuration},
    {"TrimLastType", &CConvertOptions::TrimLastType},
    {"CreateCtrlSWF", &CConvertOptions::CreateCtrlSWF},
    {"ButtonSWFType", &CConvertOptions::ButtonSWFType},
    {"SWFSoundType", &CConvertOptions::SWFSoundType},
    {"SWFFrameRate", &CConvertOptions::SWFFrameRate},
    {"SWFInitPlay", &CConvertOptions::SWFInitPlay},
    {"SWFLoopPlay", &CConvertOptions::SWFLoopPlay},
    {"BlankFrames", &CConvertOptions::BlankFrames},
    {"SWFBkgColor", &CConvertOptions::SWFBkgColor},
    {"SWFBtnColor", &CConvertOptions::SWFBtnColor},
    {"TrackSWFBkgTopColor", &CConvertOptions::TrackSWFBkgTopColor},
    {"TrackSWFBkgBottomColor", &CConvertOptions::TrackSWFBkgBottomColor},
    {"TrackSWFBorderColor", &CConvertOptions::TrackSWFBorderColor},
    {"JPEGWidth", &CConvertOptions::JPEGWidth},
    {"JPEGHeight", &CConvertOptions::JPEGHeight},
    {"SWFOutputFolderOpt", &CConvertOptions::SWFOutputFolderOpt},
    {"CreateDirs", &CConvertOptions::CreateDirs},
    {"TargetExistsOpt", &CConvertOptions::TargetExistsOpt},
    {"OutputFiles2MyDocuments", &CConvertOptions::OutputFiles2MyDocuments},
    {"BrowseOutFolder", &CConvertOptions::BrowseOutFolder},
    {"CreateHtmlFile", &CConvertOptions::CreateHtmlFile},
    {"AddFileNameOnHtml", &CConvertOptions::AddFileNameOnHtml},
    {"HtmlWebPlayer", &CConvertOptions::HtmlWebPlayer},
    {"ConvertJobs", &CConvertOptions::ConvertJobs},
};

// Settings that only take one of a few values: anything else would pass here and fail later,
// after the work, as a plain conversion failure.
struct Choice {
    const char* name;
    int values[3];
};
constexpr Choice kChoices[] = {
    {"ButtonSWFType", {kButtonSingleSwf, kButtonShellPlayer, kButtonShellPlayer}},
    {"TargetExistsOpt", {kTargetRename, kTargetOverwrite, kTargetSkip}},
    {"SWFOutputFolderOpt", {kOutputSameFolder, kOutputFolderPerSwf, kOutputCustomFolder}},
};

bool IsAllowedChoice(const std::string& name, int v) {
    for (const auto& c : kChoices)
        if (name == c.name) return v == c.values[0] || v == c.values[1] || v == c.values[2];
    return true;
}

constexpr TextField kTextFields[] = {
    {"ControlSWF", &CConvertOptions::ControlSWF},
    {"ShellPlayerSWF", &CConvertOptions::ShellPlayerSWF},
    {"JPEGFile", &CConvertOptions::JPEGFile},
    {"SWFSpecifiedFolder", &CConvertOptions::SWFSpecifiedFolder},
    {"Folder", &CConvertOptions::Folder},
    {"HtmlWebPlayerUrl", &CConvertOptions::HtmlWebPlayerUrl},
};

// A 32-bit value as stored: decimal (optionally negative) or 0x-hex up to 0xFFFFFFFF.
bool ParseInt(std::string_view s, int& out) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        std::uint32_t u = 0;
        auto [p, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), u, 16);
        if (ec != std::errc{} || p != s.data() + s.size()) return false;
        out = static_cast<int>(u);
        return true;
    }
    int v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
    if (ec != std::errc{} || p != s.data() + s.size()) return false;
    out = v;
    return true;
}

bool ParseFloat(std::string_view s, float& out) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    float v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || p != s.data() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

}  // namespace

bool SetOptionByName(CConvertOptions& options, const std::string& name, const std::string& value,
                     std::string& error) {
    for (const auto& f : kIntFields) {
        if (name != f.name) continue;
        int v = 0;
        if (!ParseInt(value, v)) {
            error = "invalid number for " + name + ": \"" + value + "\"";
            return false;
        }
        if (f.field == &CConvertOptions::HtmlWebPlayer && (v < kWebPlayerNone || v > kWebPlayerBesidePage)) {
            error = "HtmlWebPlayer is 0 (none), 1 (from HtmlWebPlayerUrl) or 2 (copied beside the page)";
            return false;
        }
        if (!IsAllowedChoice(name, v)) {
            error = "value out of range for " + name + ": \"" + value + "\"";
            return false;
        }
        options.*f.field = v;
        return true;
    }
    for (const auto& f : kTextFields) {
        if (name != f.name) continue;
        if (value.find('\0') != std::string::npos) {
            error = "invalid text for " + name;
            return false;
        }
        options.*f.field = value;
        return true;
    }
    if (name == "GC") {
        std::array<float, 4> gc{};
        std::string_view rest = value;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::size_t comma = rest.find(',');
            if ((i < 3) != (comma != std::string_view::npos) || !ParseFloat(rest.substr(0, comma), gc[i]) ||
                gc[i] < 0.0f || gc[i] > 1.0f) {
                error = "GC needs four comma-separated numbers from 0 to 1: \"" + value + "\"";
                return false;
            }
            if (comma != std::string_view::npos) rest.remove_prefix(comma + 1);
        }
        options.GC = gc;
        return true;
    }
    if (name == "TBC") {
        float v = 0;
        if (!ParseFloat(value, v) || v < 0.0f || v > 5.0f) {
            error = "TBC needs a number from 0 to 5: \"" + value + "\"";
            return false;
        }
        options.TBC = v;
        return true;
    }
    error = "unknown setting \"" + name + "\"";
    return false;
}

std::vector<std::string> OptionNames() {
    std::vector<std::string> names;
    for (const auto& f : kIntFields) names.emplace_back(f.name);
    for (const auto& f : kTextFields) names.emplace_back(f.name);
    names.emplace_back("GC");
    names.emplace_back("TBC");
    return names;
}

}  // namespace tonvela
