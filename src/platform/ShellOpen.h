// Opening a document or web address with the desktop's handler (xdg-open), falling back to
// the desktop's web-page handler when xdg-open fails.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tonvela {

// True when a handler was started. The target is passed as a single argument, never through
// a shell. Failures are for the caller to ignore or report.
bool ShellOpen(const std::string& target);

// The argument vector of a desktop entry's Exec line for one target: the first %u/%f/%U/%F
// becomes the target and ends the command (so does the end of the line, with the target
// appended); other field codes are dropped, "%%" becomes "%". Empty for a malformed line.
std::vector<std::string> HandlerCommand(const std::string& execLine, const std::string& target);

// The desktop's default handler for mime (from `xdg-mime query default` and the desktop entry
// found in the XDG data folders): its Exec line, and whether it runs in a terminal
// (Terminal=true), which a program without one cannot show.
struct DesktopHandler {
    std::string exec;
    bool terminal = false;
};
std::optional<DesktopHandler> DefaultHandler(const std::string& mime);

}  // namespace tonvela
