#include "convert/SettingsCatalog.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <iterator>
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

bool SettingAllows(const SettingInfo& setting, int v) {
    if (setting.type != SettingType::Integer && setting.type != SettingType::Colour) return true;
    const SettingRule& r = setting.rule;
    if (!r.choices.empty()) return std::find(r.choices.begin(), r.choices.end(), v) != r.choices.end();
    return v >= r.low && v <= r.high;
}

int NearestAllowed(const SettingInfo& setting, int v) {
    if (SettingAllows(setting, v)) return v;
    const SettingRule& r = setting.rule;
    if (setting.type == SettingType::Colour) return v & 0xFFFFFF;
    if (r.choices.empty()) return std::clamp(v, r.low, r.high);
    if (r.otherwise != kNearestChoice) return r.otherwise;
    int best = r.choices.front();
    for (int c : r.choices)
        if (std::llabs(static_cast<long long>(c) - v) < std::llabs(static_cast<long long>(best) - v)) best = c;
    return best;
}

std::string SettingValuesText(const SettingInfo& setting) {
    if (setting.type != SettingType::Integer) return setting.values;
    const SettingRule& r = setting.rule;
    std::string out;
    if (!r.choices.empty()) {
        for (int c : r.choices) out += (out.empty() ? "" : ", ") + std::to_string(c);
    } else {
        out = std::to_string(r.low) + (r.high == INT_MAX ? " or more" : " to " + std::to_string(r.high));
    }
    std::string unit = setting.values;
    if (setting.intField == &CConvertOptions::MP3BitRate) {
        for (const Mp3RateRule& m : kMp3RateRules)
            unit += "; at " + std::to_string(m.sampleRate) + " Hz " + std::to_string(m.lowestBitRate) + " to " +
                    std::to_string(m.highestBitRate);
    }
    if (!unit.empty()) out += " (" + unit + ")";
    return out;
}

std::vector<int> Mp3BitRatesAt(int sampleRate) {
    std::vector<int> out;
    for (int b : kMp3BitRates)
        if (Mp3PairAllowed(sampleRate, b)) out.push_back(b);
    return out;
}

bool Mp3PairAllowed(int sampleRate, int bitRate) {
    for (const Mp3RateRule& m : kMp3RateRules)
        if (m.sampleRate == sampleRate) return bitRate >= m.lowestBitRate && bitRate <= m.highestBitRate;
    return false;
}

int Mp3BitRateFor(int sampleRate, int bitRate) {
    for (const Mp3RateRule& m : kMp3RateRules)
        if (m.sampleRate == sampleRate) return std::clamp(bitRate, m.lowestBitRate, m.highestBitRate);
    return bitRate;
}

int Mp3SampleRateFor(int sampleRate, int bitRate) {
    if (Mp3PairAllowed(sampleRate, bitRate)) return sampleRate;
    // The rules are in rising order of rate: the nearest one in that order offering the bit rate.
    constexpr int n = static_cast<int>(std::size(kMp3RateRules));
    int at = 0;
    while (at < n && kMp3RateRules[at].sampleRate != sampleRate) ++at;
    if (at == n) return sampleRate;
    for (int step = 1; step < n; ++step) {
        for (int i : {at - step, at + step})
            if (i >= 0 && i < n && Mp3PairAllowed(kMp3RateRules[i].sampleRate, bitRate)) return kMp3RateRules[i].sampleRate;
    }
    return sampleRate;
}

bool CheckSettingRules(const CConvertOptions& options, std::string& error) {
    if (Mp3PairAllowed(options.MP3SampleRate, options.MP3BitRate)) return true;
    std::string allowed;
    for (int b : Mp3BitRatesAt(options.MP3SampleRate)) allowed += (allowed.empty() ? "" : ", ") + std::to_string(b);
    error = "MP3BitRate " + std::to_string(options.MP3BitRate) + " kbit/s is not offered at MP3SampleRate " +
            std::to_string(options.MP3SampleRate) + " Hz; there it takes " + allowed;
    return false;
}

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
