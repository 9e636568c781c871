#include "convert/OptionOverrides.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"

namespace tonvela {

namespace {

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
    const SettingInfo* setting = FindSetting(name);
    if (!setting) {
        error = "unknown setting \"" + name + "\"";
        return false;
    }
    switch (setting->type) {
        case SettingType::Integer:
        case SettingType::Colour: {
            int v = 0;
            if (!ParseInt(value, v)) {
                error = "invalid number for " + name + ": \"" + value + "\"";
                return false;
            }
            if (!SettingAllows(*setting, v)) {
                error = name + "=" + value + " is not allowed: " + name + " takes " + SettingValuesText(*setting) +
                        " (" + setting->meaning + ")";
                return false;
            }
            options.*setting->intField = v;
            return true;
        }
        case SettingType::Text:
            if (value.find('\0') != std::string::npos) {
                error = "invalid text for " + name;
                return false;
            }
            options.*setting->textField = value;
            return true;
        case SettingType::ShadingGC: {
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
        case SettingType::ShadingTBC: {
            float v = 0;
            if (!ParseFloat(value, v) || v < 0.0f || v > 5.0f) {
                error = "TBC needs a number from 0 to 5: \"" + value + "\"";
                return false;
            }
            options.TBC = v;
            return true;
        }
    }
    return false;
}

std::vector<std::string> OptionNames() {
    std::vector<std::string> names;
    for (const SettingInfo& s : kSettingsCatalog) names.emplace_back(s.name);
    return names;
}

}  // namespace tonvela
