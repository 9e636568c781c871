// The per-user settings store: typed values (DWORD, string, binary) grouped under keys such as
// "Software\Tonvela\Options", kept in one human-readable text file.
//
// File format (one value per line, in the manner of a registry export):
//   ; comment
//   [Software\Tonvela\Options]
//   SWFFrameRate=dword:0000000c
//   ControlSWF="/usr/share/tonvela/ControlSWF/square_gradient_3.swf"
//   GC=hex:cd,cc,cc,3e,00,00,80,3f
// Strings escape \\ \" and control bytes (\n \r \t \xHH); other bytes are kept as they are.
// Hand edits are read as meant: a UTF-8 byte-order mark, spaces around "=" and an unquoted
// string (the rest of the line, trimmed). A line that still cannot be read is skipped alone
// (SkippedLines names it); the other values keep working.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tonvela {

// The key that holds the program's options and the main window's "FirstRun".
inline constexpr const char* kOptionsKey = "Software\\Tonvela\\Options";

class CSettingsStore {
public:
    using Binary = std::vector<std::uint8_t>;
    using Value = std::variant<std::uint32_t, std::string, Binary>;

    // Name of the store file inside the settings folder.
    static constexpr const char* kFileName = "settings.conf";
    // Beside it: the file that saving programs lock, one at a time.
    static constexpr const char* kLockFileName = "settings.conf.lock";
    // Larger files are not settings written by us: treated as damaged.
    static constexpr std::size_t kMaxFileBytes = 1u << 20;

    // A store kept in folder/kFileName. Nothing is read until Load.
    explicit CSettingsStore(std::filesystem::path folder);

    // The user's settings folder: $TONVELA_CONFIG_DIR, else $XDG_CONFIG_HOME/tonvela,
    // else ~/.config/tonvela. Empty when none of them can be determined.
    static std::filesystem::path DefaultFolder();

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path FilePath() const { return folder_ / kFileName; }

    // Reads the file into memory, dropping unsaved changes. A missing file gives an empty store
    // (true); a file that cannot be read gives an empty store (false); lines that cannot be
    // parsed are skipped and listed in SkippedLines (false), the rest is loaded.
    bool Load();
    // "line N: text" for each line the last Load skipped.
    const std::vector<std::string>& SkippedLines() const { return skipped_; }

    bool KeyExists(const std::string& key) const;
    std::optional<Value> Get(const std::string& key, const std::string& name) const;
    // Typed reads: empty when the value is missing or stored with another type.
    std::optional<std::uint32_t> GetDword(const std::string& key, const std::string& name) const;
    std::optional<std::string> GetString(const std::string& key, const std::string& name) const;
    std::optional<Binary> GetBinary(const std::string& key, const std::string& name) const;

    // Changes in memory; Save writes them. False (and nothing changed) for a key or name that
    // the file format cannot hold: empty, or with a line break, "=" in a name, "]" in a key,
    // or a name starting with "[", ";" or "#".
    bool Set(const std::string& key, const std::string& name, Value value);
    bool SetDword(const std::string& key, const std::string& name, std::uint32_t value) {
        return Set(key, name, Value(value));
    }
    bool SetString(const std::string& key, const std::string& name, std::string value) {
        return Set(key, name, Value(std::move(value)));
    }
    bool SetBinary(const std::string& key, const std::string& name, Binary value) {
        return Set(key, name, Value(std::move(value)));
    }

    // Writes the values changed since the last Load or Save, like single registry writes: the
    // file is read again, the changed values are put in, and the result replaces the file
    // atomically (a crash leaves the old or the new store, never half of one), all under a
    // lock on kLockFileName. Values that another program wrote meanwhile are kept. A file
    // reached through a symbolic link is written through the link, in place. Creates the folder
    // when missing. False when anything fails (a store that cannot be read too: it is not
    // damaged); the file on disk is then unchanged. A damaged file is kept as kFileName ".damaged-YYYYMMDD-HHMMSS"
    // (with "-N" after it when that name is taken); only a regular file is replaced, and
    // never with more than kMaxFileBytes.
    bool Save();
    // Why the last Save failed (empty after a success), and where it kept a damaged store
    // (empty when it found none).
    const std::string& SaveError() const { return saveError_; }
    const std::string& DamagedCopy() const { return damagedCopy_; }

    // Text of a whole store, and its parser (exposed for tests). Parse puts every readable value
    // into out and returns false when it skipped a line, described in skipped when given.
    using Keys = std::map<std::string, std::map<std::string, Value>>;
    static std::string Format(const Keys& keys);
    static bool Parse(std::string_view text, Keys& out, std::vector<std::string>* skipped = nullptr);

private:
    bool KeepDamagedCopy(const std::filesystem::path& file, bool moveAside);

    std::filesystem::path folder_;
    std::string saveError_;
    std::string damagedCopy_;
    std::vector<std::string> skipped_;
    Keys keys_;
    std::set<std::pair<std::string, std::string>> changed_;
};

}  // namespace tonvela
