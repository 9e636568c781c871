#include "ui/WindowState.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/SettingsStore.h"

namespace tonvela {

std::optional<std::vector<int>> ParseIntList(const std::string& text, std::size_t count) {
    constexpr int kLimit = 1000000;
    std::vector<int> values;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        int v = 0;
        const auto [next, ec] = std::from_chars(p, end, v);
        if (ec != std::errc() || v < -kLimit || v > kLimit) return std::nullopt;
        values.push_back(v);
        p = next;
        if (p == end) break;
        if (*p != ',' || ++p == end) return std::nullopt;
    }
    if (values.size() != count) return std::nullopt;
    return values;
}

std::string FormatIntList(const std::vector<int>& values) {
    std::string text;
    for (int v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
    return text;
}

QRect FitRect(const QRect& wanted, const QRect& available, const QSize& minimum) {
    const int w = std::min(std::max(wanted.width(), minimum.width()), available.width());
    const int h = std::min(std::max(wanted.height(), minimum.height()), available.height());
    const int x = std::clamp(wanted.x(), available.x(), available.x() + available.width() - w);
    const int y = std::clamp(wanted.y(), available.y(), available.y() + available.height() - h);
    return QRect(x, y, w, h);
}

std::string ScreenGeometryName(const char* name, const QSize& devicePixels, double scale) {
    return std::string(name) + "." + std::to_string(devicePixels.width()) + "x" + std::to_string(devicePixels.height()) +
           "." + std::to_string(static_cast<long>(std::lround(scale * 100)));
}

std::optional<QRect> ReadWindowRect(const CSettingsStore& store, const char* name) {
    const std::optional<std::string> text = store.GetString(kWindowKey, name);
    if (!text) return std::nullopt;
    const std::optional<std::vector<int>> v = ParseIntList(*text, 4);
    if (!v || (*v)[2] <= 0 || (*v)[3] <= 0) return std::nullopt;
    return QRect((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
}

void WriteWindowRect(CSettingsStore& store, const char* name, const QRect& rect) {
    store.SetString(kWindowKey, name, FormatIntList({rect.x(), rect.y(), rect.width(), rect.height()}));
}

}  // namespace tonvela
