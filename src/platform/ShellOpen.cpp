#include "platform/ShellOpen.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/Process.h"

namespace tonvela {

namespace {

constexpr int kOpenWaitMs = 5000;

// Splits an Exec value into arguments by the desktop entry rules: spaces separate, double
// quotes group, and inside quotes a backslash escapes " ` $ and \.
bool SplitExec(const std::string& line, std::vector<std::string>& out) {
    out.clear();
    std::string cur;
    bool inToken = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < line.size()) {
                cur += line[++i];
            } else {
                cur += c;
            }
        } else if (c == '"') {
            quoted = inToken = true;
        } else if (c == ' ' || c == '\t') {
            if (inToken) out.push_back(cur);
            cur.clear();
            inToken = false;
        } else {
            cur += c;
            inToken = true;
        }
    }
    if (quoted) return false;
    if (inToken) out.push_back(cur);
    return !out.empty();
}

std::vector<std::string> DataDirs() {
    std::vector<std::string> dirs;
    const char* home = std::getenv("XDG_DATA_HOME");
    if (home && *home == '/') {
        dirs.push_back(home);
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        dirs.push_back(std::string(h) + "/.local/share");
    }
    const char* list = std::getenv("XDG_DATA_DIRS");
    std::string all = list && *list ? list : "/usr/local/share:/usr/share";
    std::stringstream ss(all);
    for (std::string d; std::getline(ss, d, ':');)
        if (!d.empty() && d[0] == '/') dirs.push_back(d);
    return dirs;
}

}  // namespace

std::vector<std::string> HandlerCommand(const std::string& execLine, const std::string& target) {
    std::vector<std::string> tokens;
    if (!SplitExec(execLine, tokens)) return {};
    std::vector<std::string> argv;
    for (const std::string& t : tokens) {
        if (t == "%u" || t == "%U" || t == "%f" || t == "%F") {
            argv.push_back(target);
            return argv;
        }
        // Another field code standing alone (%i, %c, %k, deprecated ones) is left out.
        if (t.size() == 2 && t[0] == '%' && t[1] != '%') continue;
        std::string arg;
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t[i] != '%') {
                arg += t[i];
            } else if (i + 1 < t.size()) {
                if (t[++i] == '%') arg += '%';  // other codes inside an argument vanish
            }
        }
        argv.push_back(arg);
    }
    if (argv.empty()) return {};
    argv.push_back(target);
    return argv;
}

std::optional<DesktopHandler> DefaultHandler(const std::string& mime) {
    std::string desktop;
    if (RunProgram({"xdg-mime", "query", "default", mime}, &desktop) != 0) return std::nullopt;
    while (!desktop.empty() && (desktop.back() == '\n' || desktop.back() == '\r' || desktop.back() == ' '))
        desktop.pop_back();
    if (desktop.empty() || desktop.find('/') != std::string::npos) return std::nullopt;
    for (const std::string& dir : DataDirs()) {
        std::string text;
        if (!ReadWholeFile(dir + "/applications/" + desktop, 1u << 20, text)) continue;
        std::stringstream ss(text);
        bool inEntry = false;
        std::optional<DesktopHandler> found;
        bool terminal = false;
        for (std::string line; std::getline(ss, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line[0] == '[') inEntry = line == "[Desktop Entry]";
            else if (inEntry && !found && line.rfind("Exec=", 0) == 0) found = DesktopHandler{line.substr(5), false};
            else if (inEntry && line.rfind("Terminal=", 0) == 0) terminal = line.substr(9) == "true";
        }
        if (found) found->terminal = terminal;
        return found;
    }
    return std::nullopt;
}

bool ShellOpen(const std::string& target) {
    if (target.empty()) return false;
    // A relative name starting with "-" would read as an option.
    const std::string arg = target[0] == '-' ? "./" + target : target;
    // Some handlers keep xdg-open waiting until they are closed: still running counts as opened.
    int rc = RunProgramWithin({"xdg-open", arg}, kOpenWaitMs);
    if (rc == 0 || rc == kStillRunning) return true;
    // A terminal browser started without a terminal shows nothing.
    auto handler = DefaultHandler("text/html");
    if (!handler || handler->terminal) return false;
    std::vector<std::string> argv = HandlerCommand(handler->exec, arg);
    return !argv.empty() && StartProgram(argv);
}

}  // namespace tonvela
