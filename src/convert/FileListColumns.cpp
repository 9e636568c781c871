#include "convert/FileListColumns.h"

#include <charconv>
#include <cstdio>
#include <cmath>

#include "platform/NameOrder.h"
#include "platform/PathName.h"

namespace tonvela {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// The leading floating-point number of a text ("128 kbps" gives 128), 0 when there is none.
// Advances pos past it. Always uses "." as the decimal point, whatever the locale.
double LeadingNumber(std::string_view s, std::size_t& pos) {
    pos = 0;
    while (pos < s.size() && IsSpace(s[pos])) ++pos;
    std::size_t start = pos;
    if (pos < s.size() && s[pos] == '+') start = ++pos;
    double v = 0;
    auto [end, ec] = std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc{} || !std::isfinite(v)) {
        if (ec == std::errc::result_out_of_range) {
            pos = static_cast<std::size_t>(end - s.data());
            return 0;
        }
        pos = start;
        return 0;
    }
    pos = static_cast<std::size_t>(end - s.data());
    return v;
}

// The leading integer of a text, as atoi reads it (0 when there is none); clamped to int.
long long LeadingInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    long long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (v < 1000000000LL) v = v * 10 + (s[i] - '0');
        ++i;
    }
    return neg ? -v : v;
}

int Sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

int ClampInt(long long v) {
    if (v > 2147483647LL) return 2147483647;
    if (v < -2147483647LL) return -2147483647;
    return static_cast<int>(v);
}

double SizeValue(std::string_view s) {
    std::size_t pos = 0;
    double v = LeadingNumber(s, pos);
    if (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos < s.size()) {
        switch (s[pos]) {
            case 'K': case 'k': v *= 1024.0; break;
            case 'M': case 'm': v *= 1048576.0; break;
            case 'G': case 'g': v *= 1073741824.0; break;
            case 'T': case 't': v *= 1099511627776.0; break;
            default: break;
        }
    }
    return v;
}

// Splits a text at its separators into up to three integer fields; false when fewer than
// `need` separators are present.
bool Fields(std::string_view s, char sep, int need, long long out[3]) {
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t p = i < need ? s.find(sep, start) : std::string_view::npos;
        if (i < need && p == std::string_view::npos) return false;
        out[i] = LeadingInt(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
        if (p == std::string_view::npos) {
            for (int j = i + 1; j < 3; ++j) out[j] = 0;
            return true;
        }
        start = p + 1;
    }
    return true;
}

}  // namespace

std::string LengthText(int durationSeconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d", durationSeconds / 60, durationSeconds % 60);
    return buf;
}

std::string ChannelsText(int channels) {
    if (channels == 0 || channels == 1) return "Mono";
    if (channels == 2) return "Stereo";
    return std::to_string(channels);
}

std::string ColumnText(const CFileListEntry& entry, int column) {
    switch (column) {
        case kColumnFiles: return NameOf(entry.path);
        case kColumnLength: return LengthText(entry.durationSeconds);
        case kColumnBitRate: return std::to_string(entry.bitRate) + " kbps";
        case kColumnFreq: return std::to_string(entry.sampleRate) + " Hz";
        case kColumnChannels: return ChannelsText(entry.channels);
        default: return {};
    }
}

int CompareCells(SortKind kind, std::string_view a, std::string_view b) {
    switch (kind) {
        case SortNumber: {
            std::size_t pa = 0, pb = 0;
            return Sign(LeadingNumber(a, pa) - LeadingNumber(b, pb));
        }
        case SortSize: return Sign(SizeValue(a) - SizeValue(b));
        case SortDate: {
            long long fa[3], fb[3];
            if (!Fields(a, '-', 2, fa) || !Fields(b, '-', 2, fb)) return 0;
            for (int i = 0; i < 3; ++i)
                if (fa[i] != fb[i]) return ClampInt(fa[i] - fb[i]);
            return 0;
        }
        case SortMinSec: {
            long long fa[3], fb[3];
            if (!Fields(a, ':', 1, fa) || !Fields(b, ':', 1, fb)) return 0;
            return ClampInt((fa[0] - fb[0]) * 60 + (fa[1] - fb[1]));
        }
        case SortHourMinSec: {
            long long fa[3], fb[3];
            if (!Fields(a, ':', 2, fa) || !Fields(b, ':', 2, fb)) return 0;
            return ClampInt(((fa[0] - fb[0]) * 60 + (fa[1] - fb[1])) * 60 + (fa[2] - fb[2]));
        }
        case SortName: return CompareNames(a, b);
        case SortText:
        default: {
            int c = a.compare(b);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
    }
}

}  // namespace tonvela
