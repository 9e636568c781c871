// The application profile "tonvela.ini" in the settings folder: ini-style sections of
// name=value lines (the recorder keeps its quality preset in [Options] RecQuality).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tonvela {

// True when s holds a CR or LF, so that it cannot be written as (part of) one line of an
// ini-style file.
inline bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

class CProfileFile {
public:
    static constexpr const char* kFileName = "tonvela.ini";

    // The profile in folder/kFileName (usually CSettingsStore::DefaultFolder()).
    explicit CProfileFile(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::filesystem::path FilePath() const { return folder_ / kFileName; }

    // The value of name in [section] (section and name compared without regard to case, as
    // profile readers do); empty when the file, the section or the name is missing.
    std::optional<std::string> GetString(const std::string& section, const std::string& name) const;
    // The value as a decimal integer; fallback when missing or not a number.
    int GetInt(const std::string& section, const std::string& name, int fallback) const;

    // Sets name in [section], keeping every other line of the file, and replaces the file
    // atomically. False when the file cannot be written or section/name/value hold a line break.
    bool WriteString(const std::string& section, const std::string& name, const std::string& value);
    bool WriteInt(const std::string& section, const std::string& name, int value) {
        return WriteString(section, name, std::to_string(value));
    }

private:
    std::filesystem::path folder_;
};

}  // namespace tonvela
