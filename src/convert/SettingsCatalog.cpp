#include "convert/SettingsCatalog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tonvela {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Levenshtein distance of two short strings.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Shortest text that reads back as the same float.
std::string FloatText(float f) {
    char buf[32];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(f));
        float back = 0;
        if (std::sscanf(buf, "%g", &back) == 1 && back == f) break;
    }
    return buf;
}

}  // namespace

const SettingInfo* FindSetting(std::string_view name) {
    for (const SettingInfo& s : kSettingsCatalog)
        if (name == s.name) return &s;
    return nullptr;
}

std::string SettingValueText(const CConvertOptions& options, const SettingInfo& setting) {
    switch (setting.type) {
        case SettingType::Integer:
            return std::to_string(options.*setting.intField);
        case SettingType::Colour: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%06X", static_cast<unsigned>(options.*setting.intField));
            return buf;
        }
        case SettingType::Text:
            return options.*setting.textField;
        case SettingType::ShadingGC: {
            std::string out;
            for (float f : options.GC) out += (out.empty() ? "" : ",") + FloatText(f);
            return out;
        }
        case SettingType::ShadingTBC:
            return FloatText(options.TBC);
    }
    return {};
}

std::vector<std::string> ClosestSettingNames(std::string_view name, std::size_t count) {
    const std::string typed = Lower(name);
    std::vector<std::pair<std::size_t, std::string>> ranked;
    for (const SettingInfo& s : kSettingsCatalog) {
        const std::string known = Lower(s.name);
        std::size_t d = EditDistance(typed, known);
        // A name that contains what was typed ("Color" in "SWFBkgColor") is close too.
        if (typed.size() >= 3 && known.find(typed) != std::string::npos) d = std::min<std::size_t>(d, 1);
        // Offer only names that share most of their letters with the typed one.
        if (d <= std::max<std::size_t>(1, known.size() / 3) && d < typed.size()) ranked.emplace_back(d, s.name);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < ranked.size() && i < count; ++i) out.push_back(ranked[i].second);
    return out;
}

}  // namespace tonvela
