#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/PercentEncode.h"
#include "platform/ProfileFile.h"
#include "platform/UniqueFd.h"

namespace tonvela {

namespace {

bool ValidKey(const std::string& key) {
    return !key.empty() && !HasLineBreak(key) && key.find(']') == std::string::npos;
}

bool ValidName(const std::string& name) {
    return !name.empty() && !HasLineBreak(name) && name.find('=') == std::string::npos &&
           name[0] != '[' && name[0] != ';' && name[0] != '#';
}

const char kHex[] = "0123456789abcdef";

void AppendQuoted(std::string& out, const std::string& s) {
    out += '"';
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

// Parses a quoted string occupying all of text.
bool ParseQuoted(std::string_view text, std::string& out) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    text = text.substr(1, text.size() - 2);
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') return false;  // an unescaped quote inside
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'x': {
                if (i + 2 >= text.size()) return false;
                int hi = HexDigitValue(text[i + 1]);
                int lo = HexDigitValue(text[i + 2]);
                if (hi < 0 || lo < 0) return false;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

bool ParseDword(std::string_view text, std::uint32_t& out) {
    if (text.empty() || text.size() > 8) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        int d = HexDigitValue(c);
        if (d < 0) return false;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    out = v;
    return true;
}

bool ParseBinary(std::string_view text, CSettingsStore::Binary& out) {
    out.clear();
    if (text.empty()) return true;
    std::size_t i = 0;
    for (;;) {
        if (i + 2 > text.size()) return false;
        int hi = HexDigitValue(text[i]);
        int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
        if (i == text.size()) return true;
        if (text[i] != ',') return false;
        ++i;
    }
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

// The text after "=": dword:, hex:, a quoted string, or a string typed without quotes (the
// rest of the line as it stands).
bool ParseValue(std::string_view text, CSettingsStore::Value& value) {
    if (text.substr(0, 6) == "dword:") {
        std::uint32_t d = 0;
        if (!ParseDword(text.substr(6), d)) return false;
        value = d;
    } else if (text.substr(0, 4) == "hex:") {
        CSettingsStore::Binary b;
        if (!ParseBinary(text.substr(4), b)) return false;
        value = std::move(b);
    } else if (!text.empty() && text[0] == '"') {
        std::string s;
        if (!ParseQuoted(text, s)) return false;
        value = std::move(s);
    } else {
        value = std::string(text);
    }
    return true;
}

}  // namespace

CSettingsStore::CSettingsStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path CSettingsStore::DefaultFolder() {
    const char* dir = std::getenv("TONVELA_CONFIG_DIR");
    if (dir && *dir) return dir;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // The base directory specification says relative values are to be ignored.
    if (xdg && *xdg == '/') return std::filesystem::path(xdg) / "tonvela";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::filesystem::path(home) / ".config" / "tonvela";
    return {};
}

bool CSettingsStore::Load() {
    keys_.clear();
    changed_.clear();
    skipped_.clear();
    std::error_code ec;
    if (!std::filesystem::exists(FilePath(), ec)) return !ec;
    std::string text;
    if (!ReadWholeFile(FilePath(), kMaxFileBytes, text)) return false;
    return Parse(text, keys_, &skipped_);
}

bool CSettingsStore::KeyExists(const std::string& key) const {
    return keys_.count(key) != 0;
}

std::optional<CSettingsStore::Value> CSettingsStore::Get(const std::string& key,
                                                         const std::string& name) const {
    auto k = keys_.find(key);
    if (k == keys_.end()) return std::nullopt;
    auto v = k->second.find(name);
    if (v == k->second.end()) return std::nullopt;
    return v->second;
}

std::optional<std::uint32_t> CSettingsStore::GetDword(const std::string& key,
                                                      const std::string& name) const {
    auto v = Get(key, name);
    if (!v || !std::holds_alternative<std::uint32_t>(*v)) return std::nullopt;
    return std::get<std::uint32_t>(*v);
}

std::optional<std::string> CSettingsStore::GetString(const std::string& key,
                                                     const std::string& name) const {
    auto v = Get(key, name);
    if (!v || !std::holds_alternative<std::string>(*v)) return std::nullopt;
    return std::get<std::string>(std::move(*v));
}

std::optional<CSettingsStore::Binary> CSettingsStore::GetBinary(const std::string& key,
                                                                const std::string& name) const {
    auto v = Get(key, name);
    if (!v || !std::holds_alternative<Binary>(*v)) return std::nullopt;
    return std::get<Binary>(std::move(*v));
}

bool CSettingsStore::Set(const std::string& key, const std::string& name, Value value) {
    if (!ValidKey(key) || !ValidName(name)) return false;
    keys_[key][name] = std::move(value);
    changed_.emplace(key, name);
    return true;
}

bool CSettingsStore::Save() {
    damagedCopy_.clear();
    if (folder_.empty()) {
        saveError_ = "no settings folder is known (HOME is not set)";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) {
        saveError_ = "cannot create the folder " + folder_.string() + " (" + ec.message() + ")";
        return false;
    }
    saveError_.clear();
    // A store kept elsewhere through a symbolic link (a dotfiles folder) stays there, and is
    // written through the link: the link, and the file's owner, mode and links, stay as they are.
    std::filesystem::path file = FilePath();
    const bool linked = std::filesystem::is_symlink(file, ec);
    if (linked) {
        std::filesystem::path real = std::filesystem::canonical(file, ec);
        if (!ec) file = real;
    }
    // Only a regular file is ever replaced: a link to a device or a FIFO put there is left
    // alone (renaming over it would move the device aside, reading a FIFO would block).
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        saveError_ = file.string() + " is not a regular file";
        return false;
    }

    // Read, merge and replace under one lock, so that another program saving at the same time
    // works on our result (or we on its): each keeps the values it changed. The lock file
    // stays; the store itself is replaced and cannot carry the lock.
    CUniqueFd lock(::open((folder_ / kLockFileName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    while (lock.IsOpen() && ::flock(lock.Get(), LOCK_EX) != 0 && errno == EINTR) {
    }

    // Start from what is on disk now, so values written by others survive.
    Keys merged;
    std::string text;
    if (::stat(file.c_str(), &st) == 0) {
        // A store we may not read is no damaged one: it is left alone, and nothing is saved.
        // (A store past the size limit was not written by us: that one is damaged.)
        std::string why;
        const bool tooLarge = static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes;
        const bool read = !tooLarge && ReadWholeFile(file, kMaxFileBytes, text, &why);
        if (!read && !tooLarge) {
            saveError_ = "the store " + file.string() + " cannot be read (" + why + "); it was left as it is";
            return false;
        }
        if (!read || !Parse(text, merged)) {
            // Rewriting loses what could not be read: the damaged store is kept aside for the
            // user first, each one under its own name. Its readable values stay in the store.
            if (!read) merged.clear();
            if (!KeepDamagedCopy(file, linked)) {
                saveError_ = "the damaged store " + file.string() + " could not be kept aside";
                return false;
            }
        }
    }
    for (const auto& [key, name] : changed_) merged[key][name] = keys_[key][name];
    const std::string out = Format(merged);
    // What is saved must be readable by the next Load.
    if (out.size() > kMaxFileBytes) {
        saveError_ = "the settings would take more than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    std::string why;
    if (linked ? !WriteFileInPlace(file, out, &why) : !WriteFileAtomically(file, out)) {
        saveError_ = "cannot write " + file.string() + (why.empty() ? "" : " (" + why + ")");
        return false;
    }
    keys_ = std::move(merged);
    changed_.clear();
    return true;
}

bool CSettingsStore::KeepDamagedCopy(const std::filesystem::path& file, bool moveAside) {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    char stamp[32] = "0";
    if (::localtime_r(&now, &local) != nullptr) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = file.string() + ".damaged-" + stamp;
    for (int n = 1; n <= 100; ++n) {
        const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
        // A hard link keeps the store in place until the new one replaces it; where links are
        // not supported, or the store is written in place (the link would be written too), the
        // damaged file is moved aside instead. Neither replaces a name.
        if ((!moveAside && ::link(file.c_str(), aside.c_str()) == 0) ||
            ((moveAside || errno != EEXIST) &&
             ::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)) {
            damagedCopy_ = aside;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

std::string CSettingsStore::Format(const Keys& keys) {
    std::string out = "; Tonvela settings\n";
    for (const auto& [key, values] : keys) {
        out += "\n[";
        out += key;
        out += "]\n";
        for (const auto& [name, value] : values) {
            out += name;
            out += '=';
            if (const auto* d = std::get_if<std::uint32_t>(&value)) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(*d));
                out += buf;
            } else if (const auto* s = std::get_if<std::string>(&value)) {
                AppendQuoted(out, *s);
            } else {
                const auto& b = std::get<Binary>(value);
                out += "hex:";
                for (std::size_t i = 0; i < b.size(); ++i) {
                    if (i) out += ',';
                    out += kHex[b[i] >> 4];
                    out += kHex[b[i] & 15];
                }
            }
            out += '\n';
        }
    }
    return out;
}

bool CSettingsStore::Parse(std::string_view text, Keys& out, std::vector<std::string>* skipped) {
    out.clear();
    bool clean = true;
    // Leaves one line out, saying which.
    auto skip = [&](std::size_t number, std::string_view line) {
        clean = false;
        if (skipped) skipped->push_back("line " + std::to_string(number) + ": " + std::string(line.substr(0, 200)));
    };
    // A byte-order mark that an editor put in front is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::map<std::string, Value>* current = nullptr;
    for (std::size_t number = 1; !text.empty(); ++number) {
        std::size_t eol = text.find('\n');
        std::string_view line = TrimLeft(TrimRight(text.substr(0, eol)));
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            std::string key(line.size() >= 3 && line.back() == ']' ? line.substr(1, line.size() - 2) : "");
            if (!ValidKey(key)) {
                // The values that follow belong to no key we know of.
                current = nullptr;
                skip(number, line);
                continue;
            }
            current = &out[key];
            continue;
        }
        std::size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) {
            skip(number, line);
            continue;
        }
        const std::string name(TrimRight(line.substr(0, eq)));
        Value value;
        if (!ValidName(name) || !ParseValue(TrimLeft(line.substr(eq + 1)), value)) {
            skip(number, line);
            continue;
        }
        (*current)[name] = std::move(value);
    }
    return clean;
}

}  // namespace tonvela
