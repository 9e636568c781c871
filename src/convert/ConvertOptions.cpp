#include "convert/ConvertOptions.h"

#include <cstdint>
#include <cstring>
#include <system_error>

#include "convert/SettingsCatalog.h"
#include "platform/DataFolder.h"
#include "platform/SettingsStore.h"

namespace tonvela {

namespace {

std::string WithSlash(std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

bool PathExists(const std::string& p) {
    if (p.empty()) return false;
    std::error_code ec;
    return std::filesystem::exists(p, ec);
}

float ReadFloatLE(const std::uint8_t* p) {
    std::uint32_t u = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                      static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

void AppendFloatLE(CSettingsStore::Binary& out, float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

// NaN and everything below 0 become 0; above hi becomes hi.
float Clamp(float v, float hi) {
    if (!(v >= 0.0f)) return 0.0f;
    return v > hi ? hi : v;
}

class CReader {
public:
    explicit CReader(const CSettingsStore& store) : store_(store) {}

    bool Int(const char* name, int& field) const {
        auto v = store_.GetDword(kOptionsKey, name);
        if (!v) return false;
        field = static_cast<int>(*v);
        return true;
    }
    bool String(const char* name, std::string& field) const {
        auto v = store_.GetString(kOptionsKey, name);
        if (!v || v->size() > kMaxStoredString || v->find('\0') != std::string::npos) return false;
        field = std::move(*v);
        return true;
    }
    bool Binary(const char* name, std::size_t size, CSettingsStore::Binary& out) const {
        auto v = store_.GetBinary(kOptionsKey, name);
        if (!v || v->size() != size) return false;
        out = std::move(*v);
        return true;
    }

private:
    const CSettingsStore& store_;
};

// Every number the catalog's rules refuse becomes the nearest allowed one; then the MP3 bit rate
// is brought within what its sample rate offers.
void ApplyRules(CConvertOptions& o, std::vector<SettingCorrection>* corrections) {
    auto note = [&](const SettingInfo& s, const std::string& stored) {
        if (corrections) corrections->push_back({s.name, stored, SettingValueText(o, s)});
    };
    for (const SettingInfo& s : kSettingsCatalog) {
        if (!s.intField) continue;
        int& v = o.*s.intField;
        if (SettingAllows(s, v)) continue;
        const std::string stored = SettingValueText(o, s);
        v = NearestAllowed(s, v);
        note(s, stored);
    }
    if (!Mp3PairAllowed(o.MP3SampleRate, o.MP3BitRate)) {
        const SettingInfo& s = *FindSetting("MP3BitRate");
        const std::string stored = SettingValueText(o, s);
        o.MP3BitRate = Mp3BitRateFor(o.MP3SampleRate, o.MP3BitRate);
        note(s, stored);
    }
}

}  // namespace

CConvertOptions::CConvertOptions() : CConvertOptions(DataFolder()) {}

CConvertOptions::CConvertOptions(const std::filesystem::path& folder)
    : dataFolder(WithSlash(folder.string())) {
    ControlSWF = DefaultControlSWF();
    ShellPlayerSWF = DefaultShellPlayerSWF();
    JPEGFile = dataFolder + "sample.jpg";
    EmptySWF = dataFolder + "empty.swf";
    HtmlTemplateFile = dataFolder + "Template.htm";
}

std::string CConvertOptions::DefaultControlSWF() const {
    return dataFolder + "ControlSWF/square_gradient_3.swf";
}

std::string CConvertOptions::DefaultShellPlayerSWF() const {
    return dataFolder + "ControlSWF/ShellPlayer/square_gradient_3.swf";
}

void CConvertOptions::Load(const CSettingsStore& store, std::vector<SettingCorrection>* corrections) {
    if (!store.KeyExists(kOptionsKey)) return;
    CReader r(store);
    r.String("Folder", Folder);
    r.Int("CreateCtrlSWF", CreateCtrlSWF);
    r.Int("SWFSoundType", SWFSoundType);
    r.Int("ButtonSWFType", ButtonSWFType);
    if (r.String("ShellPlayerSWF", ShellPlayerSWF) && !PathExists(ShellPlayerSWF))
        ShellPlayerSWF = DefaultShellPlayerSWF();
    r.Int("SWFInitPlay", SWFInitPlay);
    r.Int("SWFLoopPlay", SWFLoopPlay);
    if (r.String("ControlSWF", ControlSWF) && !PathExists(ControlSWF)) ControlSWF = DefaultControlSWF();
    r.Int("SWFOutputFolderOpt", SWFOutputFolderOpt);
    r.String("SWFSpecifiedFolder", SWFSpecifiedFolder);
    if (r.String("JPEGFile", JPEGFile) && !PathExists(JPEGFile)) JPEGFile.clear();
    r.Int("JPEGWidth", JPEGWidth);
    r.Int("JPEGHeight", JPEGHeight);
    r.Int("TargetExistsOpt", TargetExistsOpt);
    r.Int("CreateDirs", CreateDirs);
    r.Int("OutputFiles2MyDocuments", OutputFiles2MyDocuments);
    r.Int("BrowseOutFolder", BrowseOutFolder);
    r.Int("AutoDestMP3EncodingParam", AutoDestMP3EncodingParam);
    r.Int("MP3BitRate", MP3BitRate);
    r.Int("MP3SampleRate", MP3SampleRate);
    r.Int("MP3ChannelNum", MP3ChannelNum);
    r.Int("ChangeVolume", ChangeVolume);
    r.Int("VolumeCoef", VolumeCoef);
    r.Int("SkipFirstMs", SkipFirstMs);
    r.Int("SkipLastMs", SkipLastMs);
    r.Int("ConvertDuration", ConvertDuration);
    r.Int("TrimLastType", TrimLastType);
    r.Int("SWFFrameRate", SWFFrameRate);
    r.Int("SWFBkgColor", SWFBkgColor);
    r.Int("SWFBtnColor", SWFBtnColor);
    r.Int("TrackSWFBkgTopColor", TrackSWFBkgTopColor);
    r.Int("TrackSWFBkgBottomColor", TrackSWFBkgBottomColor);
    r.Int("TrackSWFBorderColor", TrackSWFBorderColor);
    r.Int("BlankFrames", BlankFrames);
    r.Int("AddFileNameOnHtml", AddFileNameOnHtml);
    r.Int("CreateHtmlFile", CreateHtmlFile);
    r.Int("HtmlWebPlayer", HtmlWebPlayer);
    r.String("HtmlWebPlayerUrl", HtmlWebPlayerUrl);
    r.Int("ConvertJobs", ConvertJobs);
    CSettingsStore::Binary b;
    if (r.Binary("GC", 16, b))
        for (std::size_t i = 0; i < 4; ++i) GC[i] = Clamp(ReadFloatLE(b.data() + 4 * i), 1.0f);
    if (r.Binary("TBC", 4, b)) TBC = Clamp(ReadFloatLE(b.data()), 5.0f);
    ApplyRules(*this, corrections);
}

std::vector<std::pair<const char*, CSettingsStore::Value>> CConvertOptions::StoredValues(int mask) const {
    std::vector<std::pair<const char*, CSettingsStore::Value>> out;
    auto i = [&](const char* name, int v) { out.emplace_back(name, static_cast<std::uint32_t>(v)); };
    auto s = [&](const char* name, const std::string& v) { out.emplace_back(name, v); };
    if (mask & kSaveFolder) s("Folder", Folder);
    if (mask & kSaveOptions) {
        i("CreateCtrlSWF", CreateCtrlSWF);
        i("SWFSoundType", SWFSoundType);
        i("ButtonSWFType", ButtonSWFType);
        s("ShellPlayerSWF", ShellPlayerSWF);
        i("SWFInitPlay", SWFInitPlay);
        i("SWFLoopPlay", SWFLoopPlay);
        s("ControlSWF", ControlSWF);
        i("SWFOutputFolderOpt", SWFOutputFolderOpt);
        s("SWFSpecifiedFolder", SWFSpecifiedFolder);
        s("JPEGFile", JPEGFile);
        i("JPEGWidth", JPEGWidth);
        i("JPEGHeight", JPEGHeight);
        i("TargetExistsOpt", TargetExistsOpt);
        i("CreateDirs", CreateDirs);
        i("OutputFiles2MyDocuments", OutputFiles2MyDocuments);
        i("BrowseOutFolder", BrowseOutFolder);
        i("AutoDestMP3EncodingParam", AutoDestMP3EncodingParam);
        i("MP3BitRate", MP3BitRate);
        i("MP3SampleRate", MP3SampleRate);
        i("MP3ChannelNum", MP3ChannelNum);
        i("ChangeVolume", ChangeVolume);
        i("VolumeCoef", VolumeCoef);
        i("SkipFirstMs", SkipFirstMs);
        i("SkipLastMs", SkipLastMs);
        i("ConvertDuration", ConvertDuration);
        i("TrimLastType", TrimLastType);
        i("SWFFrameRate", SWFFrameRate);
        i("SWFBkgColor", SWFBkgColor);
        i("SWFBtnColor", SWFBtnColor);
        i("TrackSWFBkgTopColor", TrackSWFBkgTopColor);
        i("TrackSWFBkgBottomColor", TrackSWFBkgBottomColor);
        i("TrackSWFBorderColor", TrackSWFBorderColor);
        i("CreateHtmlFile", CreateHtmlFile);
        i("BlankFrames", BlankFrames);
        i("AddFileNameOnHtml", AddFileNameOnHtml);
        i("HtmlWebPlayer", HtmlWebPlayer);
        s("HtmlWebPlayerUrl", HtmlWebPlayerUrl);
        i("ConvertJobs", ConvertJobs);
        CSettingsStore::Binary gc;
        for (float f : GC) AppendFloatLE(gc, f);
        out.emplace_back("GC", std::move(gc));
        CSettingsStore::Binary tbc;
        AppendFloatLE(tbc, TBC);
        out.emplace_back("TBC", std::move(tbc));
    }
    return out;
}

int CConvertOptions::Save(CSettingsStore& store, int mask, bool* saved) const {
    if (saved) *saved = false;
    if (mask == 0) return 0;
    for (auto& [name, value] : StoredValues(mask)) store.Set(kOptionsKey, name, std::move(value));
    const bool ok = store.Save();
    if (saved) *saved = ok;
    return 1;
}

bool CConvertOptions::SaveNames(CSettingsStore& store, const std::set<std::string>& names) const {
    for (auto& [name, value] : StoredValues(kSaveFolder | kSaveOptions))
        if (names.count(name) != 0) store.Set(kOptionsKey, name, std::move(value));
    return store.Save();
}

std::set<std::string> CConvertOptions::ChangedNames(const CConvertOptions& before, const CConvertOptions& after) {
    const auto a = before.StoredValues(kSaveFolder | kSaveOptions);
    const auto b = after.StoredValues(kSaveFolder | kSaveOptions);
    std::set<std::string> changed;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
        if (a[k].second != b[k].second) changed.insert(a[k].first);
    return changed;
}

}  // namespace tonvela
