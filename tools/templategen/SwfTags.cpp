#include "SwfTags.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tonvela::templategen {

namespace {

std::int32_t Fixed(double v) { return static_cast<std::int32_t>(std::lround(v * 65536.0)); }

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "make_templates: %s\n", what);
    std::exit(1);
}

}  // namespace

void CBitSink::U(std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
        if (used_ == 0) out_.push_back(0);
        out_.back() = static_cast<std::uint8_t>(out_.back() | (((v >> i) & 1u) << (7 - used_)));
        used_ = (used_ + 1) % 8;
    }
}

int SBits(std::int32_t v) {
    const std::uint32_t m = static_cast<std::uint32_t>(v < 0 ? -(static_cast<std::int64_t>(v) + 1) : v);
    return 1 + static_cast<int>(std::bit_width(m));
}

int UBits(std::uint32_t v) { return static_cast<int>(std::bit_width(v)); }

void PutU16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutString(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

void PutRect(Bytes& b, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1) {
    const int n = std::max({SBits(x0), SBits(x1), SBits(y0), SBits(y1)});
    CBitSink s(b);
    s.U(static_cast<std::uint32_t>(n), 5);
    for (std::int32_t v : {x0, x1, y0, y1}) s.S(v, n);
}

void PutMatrix(Bytes& b, const Matrix& m) {
    CBitSink s(b);
    s.U(m.hasScale, 1);
    if (m.hasScale) {
        const std::int32_t x = Fixed(m.scaleX), y = Fixed(m.scaleY);
        const int n = std::max(SBits(x), SBits(y));
        s.U(static_cast<std::uint32_t>(n), 5);
        s.S(x, n);
        s.S(y, n);
    }
    s.U(m.hasRotate, 1);
    if (m.hasRotate) {
        const std::int32_t r0 = Fixed(m.rotate0), r1 = Fixed(m.rotate1);
        const int n = std::max(SBits(r0), SBits(r1));
        s.U(static_cast<std::uint32_t>(n), 5);
        s.S(r0, n);
        s.S(r1, n);
    }
    const int n = (m.tx == 0 && m.ty == 0) ? 0 : std::max(SBits(m.tx), SBits(m.ty));
    s.U(static_cast<std::uint32_t>(n), 5);
    if (n) {
        s.S(m.tx, n);
        s.S(m.ty, n);
    }
}

void PutColourAdd(Bytes& b, int add) {
    CBitSink s(b);
    s.U(add != 0, 1);  // HasAddTerms
    s.U(0, 1);         // HasMultTerms
    const int n = add ? SBits(add) : 0;
    s.U(static_cast<std::uint32_t>(n), 4);
    if (add) {
        for (int i = 0; i < 3; ++i) s.S(add, n);
        s.S(0, n);
    }
}

// ---- Shapes ---------------------------------------------------------------------------------

int CShape::Solid(Rgba c) {
    fills_.push_back({0x00, {{0, c}}, {}, 0});
    return static_cast<int>(fills_.size());
}

int CShape::Vertical(const Stops& stops, std::int32_t y0, std::int32_t y1) {
    const double s = (y1 - y0) / 32768.0;
    Matrix m{0, 0, s, -s, 0, (y0 + y1) / 2, true, true};
    fills_.push_back({0x10, stops, m, 0});
    return static_cast<int>(fills_.size());
}

int CShape::Radial(const Stops& stops, std::int32_t cx, std::int32_t cy, std::int32_t r) {
    const double s = r / 16384.0;
    fills_.push_back({0x12, stops, Matrix{s, s, 0, 0, cx, cy, true, false}, 0});
    return static_cast<int>(fills_.size());
}

int CShape::Bitmap(std::uint16_t id) {
    fills_.push_back({0x41, {}, Matrix{20, 20, 0, 0, 0, 0, true, false}, id});
    return static_cast<int>(fills_.size());
}

int CShape::Line(std::int32_t width, Rgba c) {
    lines_.emplace_back(width, c);
    maxLine_ = std::max(maxLine_, width);
    return static_cast<int>(lines_.size());
}

void CShape::Touch(std::int32_t x, std::int32_t y) {
    if (!any_) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        any_ = true;
    }
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
}

void CShape::MoveTo(std::int32_t x, std::int32_t y, int fill, int line) {
    records_.push_back({Record::Move, x, y, 0, 0, fill, line});
    x_ = x;
    y_ = y;
    Touch(x, y);
}

void CShape::LineTo(std::int32_t x, std::int32_t y) {
    if (x == x_ && y == y_) return;
    records_.push_back({Record::Straight, x - x_, y - y_, 0, 0, 0, 0});
    x_ = x;
    y_ = y;
    Touch(x, y);
}

void CShape::CurveTo(std::int32_t cx, std::int32_t cy, std::int32_t x, std::int32_t y) {
    records_.push_back({Record::Curve, cx - x_, cy - y_, x - cx, y - cy, 0, 0});
    Touch(cx, cy);
    x_ = x;
    y_ = y;
    Touch(x, y);
}

void CShape::Rect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, int fill,
                  int line) {
    MoveTo(x0, y0, fill, line);
    LineTo(x1, y0);
    LineTo(x1, y1);
    LineTo(x0, y1);
    LineTo(x0, y0);
}

void CShape::RoundRect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                       std::int32_t r, int fill, int line) {
    MoveTo(x0 + r, y0, fill, line);
    LineTo(x1 - r, y0);
    CurveTo(x1, y0, x1, y0 + r);
    LineTo(x1, y1 - r);
    CurveTo(x1, y1, x1 - r, y1);
    LineTo(x0 + r, y1);
    CurveTo(x0, y1, x0, y1 - r);
    LineTo(x0, y0 + r);
    CurveTo(x0, y0, x0 + r, y0);
}

void CShape::Ellipse(std::int32_t cx, std::int32_t cy, std::int32_t rx, std::int32_t ry, int fill,
                     int line) {
    // Eight quadratic segments; the control points lie on the circle of radius r / cos(22.5).
    const double k = 1.0 / std::cos(M_PI / 8);
    auto px = [&](double a, double f) { return cx + static_cast<std::int32_t>(std::lround(rx * f * std::cos(a))); };
    auto py = [&](double a, double f) { return cy + static_cast<std::int32_t>(std::lround(ry * f * std::sin(a))); };
    MoveTo(px(0, 1), py(0, 1), fill, line);
    for (int i = 0; i < 8; ++i) {
        const double mid = (i + 0.5) * M_PI / 4, end = (i + 1) * M_PI / 4;
        CurveTo(px(mid, k), py(mid, k), i == 7 ? px(0, 1) : px(end, 1), i == 7 ? py(0, 1) : py(end, 1));
    }
}

void CShape::Polygon(const std::vector<std::pair<std::int32_t, std::int32_t>>& pts, int fill,
                     int line) {
    MoveTo(pts[0].first, pts[0].second, fill, line);
    for (std::size_t i = 1; i < pts.size(); ++i) LineTo(pts[i].first, pts[i].second);
    LineTo(pts[0].first, pts[0].second);
}

Bytes CShape::Body(std::uint16_t id, int version) const {
    const bool alpha = version >= 3;
    auto colour = [&](Bytes& b, Rgba c) {
        b.insert(b.end(), {c.r, c.g, c.b});
        if (alpha) b.push_back(c.a);
    };
    Bytes b;
    PutU16(b, id);
    const std::int32_t pad = maxLine_ / 2 + 1;
    PutRect(b, minX_ - pad, maxX_ + pad, minY_ - pad, maxY_ + pad);
    if (fills_.size() > 254 || lines_.size() > 254) Fail("too many styles in a shape");
    b.push_back(static_cast<std::uint8_t>(fills_.size()));
    for (const Fill& f : fills_) {
        b.push_back(f.type);
        if (f.type & 0x10) {
            PutMatrix(b, f.m);
            b.push_back(static_cast<std::uint8_t>(f.stops.size()));
            for (const auto& [ratio, c] : f.stops) {
                b.push_back(ratio);
                colour(b, c);
            }
        } else if (f.type & 0x40) {
            PutU16(b, f.bitmap);
            PutMatrix(b, f.m);
        } else {
            colour(b, f.stops[0].second);
        }
    }
    b.push_back(static_cast<std::uint8_t>(lines_.size()));
    for (const auto& [w, c] : lines_) {
        PutU16(b, static_cast<std::uint32_t>(w));
        colour(b, c);
    }
    const int fillBits = UBits(static_cast<std::uint32_t>(fills_.size()));
    const int lineBits = UBits(static_cast<std::uint32_t>(lines_.size()));
    CBitSink s(b);
    s.U(static_cast<std::uint32_t>(fillBits), 4);
    s.U(static_cast<std::uint32_t>(lineBits), 4);
    for (const Record& r : records_) {
        if (r.kind == Record::Move) {
            s.U(0, 1);
            s.U(0x0B, 5);  // line style, fill style 0, move-to
            const int n = std::max(SBits(r.a), SBits(r.b));
            s.U(static_cast<std::uint32_t>(n), 5);
            s.S(r.a, n);
            s.S(r.b, n);
            s.U(static_cast<std::uint32_t>(r.fill), fillBits);
            s.U(static_cast<std::uint32_t>(r.line), lineBits);
        } else if (r.kind == Record::Straight) {
            const int n = std::max({SBits(r.a), SBits(r.b), 2});
            if (n > 17) Fail("edge too long");
            s.U(3, 2);  // edge, straight
            s.U(static_cast<std::uint32_t>(n - 2), 4);
            if (r.a != 0 && r.b != 0) {
                s.U(1, 1);
                s.S(r.a, n);
                s.S(r.b, n);
            } else {
                s.U(0, 1);
                s.U(r.a == 0, 1);  // vertical
                s.S(r.a == 0 ? r.b : r.a, n);
            }
        } else {
            const int n = std::max({SBits(r.a), SBits(r.b), SBits(r.c), SBits(r.d), 2});
            if (n > 17) Fail("curve too long");
            s.U(2, 2);  // edge, curved
            s.U(static_cast<std::uint32_t>(n - 2), 4);
            for (std::int32_t v : {r.a, r.b, r.c, r.d}) s.S(v, n);
        }
    }
    s.U(0, 6);  // end of shape
    return b;
}

// ---- Other tags -----------------------------------------------------------------------------

Bytes Button2(std::uint16_t id, const std::vector<ButtonRecord>& records, std::uint16_t condition,
              const Bytes& actions) {
    Bytes recs;
    for (const ButtonRecord& r : records) {
        recs.push_back(r.states);
        PutU16(recs, r.character);
        PutU16(recs, r.depth);
        PutMatrix(recs, Translate(0, 0));
        PutColourAdd(recs, r.colourAdd);
    }
    recs.push_back(0);
    Bytes b;
    PutU16(b, id);
    b.push_back(0);  // not a menu button
    PutU16(b, static_cast<std::uint32_t>(2 + recs.size()));
    b.insert(b.end(), recs.begin(), recs.end());
    PutU16(b, 0);  // last (only) condition
    PutU16(b, condition);
    b.insert(b.end(), actions.begin(), actions.end());
    return b;
}

Bytes EditText(std::uint16_t id, const EditTextRecipe& s) {
    Bytes b;
    PutU16(b, id);
    PutRect(b, s.x0, s.x1, s.y0, s.y1);
    // HasText, ReadOnly, HasTextColor, HasFont; HasLayout, NoSelect.
    b.push_back(static_cast<std::uint8_t>((s.text.empty() ? 0 : 0x80) | 0x08 | 0x04 | 0x01));
    b.push_back(0x20 | 0x10);
    PutU16(b, s.font);
    PutU16(b, static_cast<std::uint32_t>(s.height));
    b.insert(b.end(), {s.colour.r, s.colour.g, s.colour.b, s.colour.a});
    b.push_back(s.align);
    PutU16(b, 0);
    PutU16(b, 0);
    PutU16(b, 0);
    PutU16(b, 0);
    PutString(b, s.variable);
    if (!s.text.empty()) PutString(b, s.text);
    return b;
}

Bytes DeviceFont(std::uint16_t id, const std::string& name) {
    Bytes b;
    PutU16(b, id);
    b.push_back(0);  // no layout, no flags
    b.push_back(1);  // language: Latin
    b.push_back(static_cast<std::uint8_t>(name.size() + 1));
    PutString(b, name);
    PutU16(b, 0);  // no glyphs: a device font
    return b;
}

Bytes PlaceObject2(std::uint16_t depth, std::uint16_t character, std::int32_t x, std::int32_t y,
                   const std::string& name) {
    Bytes b;
    b.push_back(static_cast<std::uint8_t>((name.empty() ? 0 : 0x20) | 0x04 | 0x02));
    PutU16(b, depth);
    PutU16(b, character);
    PutMatrix(b, Translate(x, y));
    if (!name.empty()) PutString(b, name);
    return b;
}

Bytes Tag(std::uint16_t code, const Bytes& body) {
    Bytes b;
    if (body.size() < 63) {
        PutU16(b, static_cast<std::uint32_t>(code) << 6 | static_cast<std::uint32_t>(body.size()));
    } else {
        PutU16(b, static_cast<std::uint32_t>(code) << 6 | 63);
        PutU32(b, static_cast<std::uint32_t>(body.size()));
    }
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

namespace {
std::uint32_t CountFrames(const std::vector<Bytes>& tags) {
    std::uint32_t n = 0;
    for (const Bytes& t : tags) n += (t[0] | t[1] << 8) >> 6 == kShowFrame;
    return n;
}
}  // namespace

Bytes Movie(std::uint8_t version, int widthPx, int heightPx, int fps, const std::vector<Bytes>& tags) {
    Bytes b = {'F', 'W', 'S', version, 0, 0, 0, 0};
    PutRect(b, 0, widthPx * 20, 0, heightPx * 20);
    PutU16(b, static_cast<std::uint32_t>(fps) << 8);
    PutU16(b, CountFrames(tags));
    for (const Bytes& t : tags) b.insert(b.end(), t.begin(), t.end());
    const Bytes end = Tag(kEnd, {});
    b.insert(b.end(), end.begin(), end.end());
    const auto n = static_cast<std::uint32_t>(b.size());
    for (int i = 0; i < 4; ++i) b[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
    return b;
}

Bytes Sprite(std::uint16_t id, const std::vector<Bytes>& tags) {
    Bytes b;
    PutU16(b, id);
    PutU16(b, CountFrames(tags));
    for (const Bytes& t : tags) b.insert(b.end(), t.begin(), t.end());
    const Bytes end = Tag(kEnd, {});
    b.insert(b.end(), end.begin(), end.end());
    return b;
}

}  // namespace tonvela::templategen
