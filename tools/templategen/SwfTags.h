// Builders for the SWF tags the templates are made of. Bodies are built in growable byte
// vectors; bit fields go through CBitSink. Coordinates are twips unless a name says pixels.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tonvela::templategen {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};
// From 0xRRGGBB as written in colour pickers, with an alpha.
inline Rgba Hex(std::uint32_t rgb, std::uint8_t a = 255) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb), a};
}
inline Rgba Grey(std::uint8_t g, std::uint8_t a = 255) { return {g, g, g, a}; }

// Bits most significant first, appended to a byte vector.
class CBitSink {
public:
    explicit CBitSink(Bytes& out) : out_(out) {}
    void U(std::uint32_t v, int n);
    void S(std::int32_t v, int n) { U(static_cast<std::uint32_t>(v), n); }
    void Align() { used_ = 0; }

private:
    Bytes& out_;
    int used_ = 0;  // bits of the last byte in use (0: start a new byte)
};

int SBits(std::int32_t v);                      // signed width, at least 1
int UBits(std::uint32_t v);                     // unsigned width
void PutU16(Bytes& b, std::uint32_t v);
void PutU32(Bytes& b, std::uint32_t v);
void PutString(Bytes& b, const std::string& s);  // with its terminating zero
void PutRect(Bytes& b, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1);

struct Matrix {
    double scaleX = 1, scaleY = 1, rotate0 = 0, rotate1 = 0;
    std::int32_t tx = 0, ty = 0;
    bool hasScale = false, hasRotate = false;
};
inline Matrix Translate(std::int32_t x, std::int32_t y) { return {1, 1, 0, 0, x, y, false, false}; }
void PutMatrix(Bytes& b, const Matrix& m);
// Colour transform with alpha adding the same value to red, green and blue.
void PutColourAdd(Bytes& b, int add);

// A shape with its fill and line styles, drawn as closed paths.
class CShape {
public:
    using Stops = std::vector<std::pair<std::uint8_t, Rgba>>;
    // Style indexes start at 1 (0 means none).
    int Solid(Rgba c);
    // Top-to-bottom gradient over the box y0..y1.
    int Vertical(const Stops& stops, std::int32_t y0, std::int32_t y1);
    int Radial(const Stops& stops, std::int32_t cx, std::int32_t cy, std::int32_t r);
    // Clipped bitmap at its own pixel size.
    int Bitmap(std::uint16_t id);
    int Line(std::int32_t width, Rgba c);

    void MoveTo(std::int32_t x, std::int32_t y, int fill, int line = 0);
    void LineTo(std::int32_t x, std::int32_t y);
    void CurveTo(std::int32_t cx, std::int32_t cy, std::int32_t x, std::int32_t y);

    void Rect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, int fill,
              int line = 0);
    void RoundRect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                   std::int32_t r, int fill, int line = 0);
    void Ellipse(std::int32_t cx, std::int32_t cy, std::int32_t rx, std::int32_t ry, int fill,
                 int line = 0);
    void Polygon(const std::vector<std::pair<std::int32_t, std::int32_t>>& pts, int fill,
                 int line = 0);

    // DefineShape (version 1, colours without alpha) or DefineShape3 (version 3).
    Bytes Body(std::uint16_t id, int version = 3) const;

private:
    struct Fill {
        std::uint8_t type;
        Stops stops;
        Matrix m;
        std::uint16_t bitmap = 0;
    };
    struct Record {
        enum Kind { Move, Straight, Curve } kind;
        std::int32_t a = 0, b = 0, c = 0, d = 0;  // move: x, y; edges: deltas
        int fill = 0, line = 0;
    };
    void Touch(std::int32_t x, std::int32_t y);
    std::vector<Fill> fills_;
    std::vector<std::pair<std::int32_t, Rgba>> lines_;
    std::vector<Record> records_;
    std::int32_t x_ = 0, y_ = 0;
    std::int32_t minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
    bool any_ = false;
    std::int32_t maxLine_ = 0;
};

struct ButtonRecord {
    std::uint8_t states;  // 1 up, 2 over, 4 down, 8 hit
    std::uint16_t character;
    std::uint16_t depth;
    int colourAdd = 0;    // brightness change for this state
};
inline constexpr std::uint16_t kOnRelease = 0x0008;  // OverDownToOverUp
inline constexpr std::uint16_t kOnPress = 0x0004;    // OverUpToOverDown

// DefineButton2 with one action list for the given condition.
Bytes Button2(std::uint16_t id, const std::vector<ButtonRecord>& records, std::uint16_t condition,
              const Bytes& actions);

struct EditTextRecipe {
    std::int32_t x0, y0, x1, y1;   // bounds relative to its placement
    std::uint16_t font;
    std::int32_t height;           // twips
    Rgba colour;
    std::uint8_t align = 0;        // 0 left, 1 right, 2 centre
    std::string variable;
    std::string text;
};
Bytes EditText(std::uint16_t id, const EditTextRecipe& s);
// A device font (no glyphs): the player draws the text with a system font.
Bytes DeviceFont(std::uint16_t id, const std::string& name);

Bytes PlaceObject2(std::uint16_t depth, std::uint16_t character, std::int32_t x, std::int32_t y,
                   const std::string& name = {});

// A whole tag, header included (long header from 63 bytes of body on).
Bytes Tag(std::uint16_t code, const Bytes& body);

enum : std::uint16_t {
    kEnd = 0, kShowFrame = 1, kDefineShape = 2, kSetBackgroundColor = 9, kDoAction = 12,
    kDefineBitsJpeg2 = 21, kPlaceObject2 = 26, kDefineShape3 = 32, kDefineButton2 = 34,
    kDefineEditText = 37, kDefineSprite = 39, kDefineFont2 = 48,
};

// An uncompressed SWF file from its tags (frame count = ShowFrame tags).
Bytes Movie(std::uint8_t version, int widthPx, int heightPx, int fps, const std::vector<Bytes>& tags);
// A sprite body: id, frame count, its tags (End appended).
Bytes Sprite(std::uint16_t id, const std::vector<Bytes>& tags);

}  // namespace tonvela::templategen
