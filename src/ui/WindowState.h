// Where the main window was and how it was sized, kept in the settings store as readable text
// ("x,y,width,height", the column widths as "152,55,70,70,50"), and fitting a window to a
// screen's available area whatever was remembered.
#pragma once

#include <QRect>
#include <QSize>
#include <optional>
#include <string>
#include <vector>

namespace tonvela {

class CSettingsStore;

// The key of the window values (beside the options' key).
inline constexpr const char* kWindowKey = "Software\\Tonvela\\Window";

// Comma-separated integers: count of them exactly, each within -1000000..1000000; nothing
// for any other text (a hand-edited or damaged value is ignored, never half read).
std::optional<std::vector<int>> ParseIntList(const std::string& text, std::size_t count);
std::string FormatIntList(const std::vector<int>& values);

// A rectangle of size wanted (at least minimum, at most available) placed at wanted's position
// when that keeps it inside available, else moved the least that does.
QRect FitRect(const QRect& wanted, const QRect& available, const QSize& minimum);

// The name a window's place is kept under for a screen of this size in device pixels at this
// scale ("MainWindow.1600x1000.200"): each screen size and scale remembers its own.
std::string ScreenGeometryName(const char* name, const QSize& devicePixels, double scale);

std::optional<QRect> ReadWindowRect(const CSettingsStore& store, const char* name);
void WriteWindowRect(CSettingsStore& store, const char* name, const QRect& rect);

}  // namespace tonvela
