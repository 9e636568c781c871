#include "platform/NameOrder.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tonvela {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Names are compared run by run: digits by value, each "." on its own (it sorts before
// anything, so "x.wav" comes before "x1.wav" as in file managers), other text by collation.
enum class RunKind { Digits, Dot, Text };

RunKind KindOf(char c) { return IsDigit(c) ? RunKind::Digits : c == '.' ? RunKind::Dot : RunKind::Text; }

// The run starting at pos.
std::string_view Run(std::string_view s, std::size_t pos) {
    const RunKind kind = KindOf(s[pos]);
    if (kind == RunKind::Dot) return s.substr(pos, 1);
    std::size_t end = pos;
    while (end < s.size() && KindOf(s[end]) == kind) ++end;
    return s.substr(pos, end - pos);
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Digit runs by value, without limit on their length: leading zeros dropped, then the longer
// number is larger, then digit by digit.
int CompareNumbers(std::string_view a, std::string_view b) {
    const std::size_t za = std::min(a.find_first_not_of('0'), a.size());
    const std::size_t zb = std::min(b.find_first_not_of('0'), b.size());
    const std::string_view va = a.substr(za), vb = b.substr(zb);
    if (va.size() != vb.size()) return va.size() < vb.size() ? -1 : 1;
    return Sign(va.compare(vb));
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The collation of two texts; a zero byte inside a name ends what strcoll sees, the byte
// comparison at the end still tells such names apart.
int Collate(const std::string& a, const std::string& b) { return Sign(std::strcoll(a.c_str(), b.c_str())); }

// Compares run by run; `fold` lowers ASCII letters first, exact collates the texts as they are.
int CompareRuns(std::string_view a, std::string_view b, bool fold) {
    std::size_t pa = 0, pb = 0;
    while (pa < a.size() && pb < b.size()) {
        const std::string_view ra = Run(a, pa), rb = Run(b, pb);
        const RunKind ka = KindOf(ra[0]), kb = KindOf(rb[0]);
        int c = 0;
        if (ka == RunKind::Digits && kb == RunKind::Digits)
            c = CompareNumbers(ra, rb);
        else if (ka == RunKind::Dot || kb == RunKind::Dot)
            c = ka == kb ? 0 : (ka == RunKind::Dot ? -1 : 1);
        else if (fold)
            c = Collate(AsciiLower(ra), AsciiLower(rb));
        else
            c = Collate(std::string(ra), std::string(rb));
        if (c != 0) return c;
        pa += ra.size();
        pb += rb.size();
    }
    if (pa < a.size()) return 1;
    if (pb < b.size()) return -1;
    return 0;
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
    if (int c = CompareRuns(a, b, true)) return c;
    if (int c = CompareRuns(a, b, false)) return c;
    return Sign(a.compare(b));
}

}  // namespace tonvela
