#include "TemplateBuilder.h"

#include <cmath>

namespace tonvela::templategen {

namespace {

constexpr int T = 20;  // twips per pixel
// SWF 7: case-sensitive names and AS2-era players, and still the version whose DefineBitsJPEG2
// may carry the 0xFF 0xD9 0xFF 0xD8 prefix the picture rewrite writes before the user's JPEG.
constexpr std::uint8_t kVersion = 7;
constexpr int kFps = 12;

enum class Icon { Play, Pause, Stop };

// The colours each look is drawn in. Where a kind has a colour map, these are the map's
// "from" colours, so recolouring turns them into the user's colours.
Rgba TimeColour(Style s) {
    switch (s) {
    case Style::SquareGradient: return Hex(0x003366);
    case Style::CircleGradient: return Hex(0x004A00);
    case Style::Trumpet: return Hex(0x3366CC);
    case Style::RoundRect: return Grey(0x5E);
    case Style::Track: return Grey(0x17);
    case Style::Jpeg: return Hex(0xFFFFFF);
    default: return Hex(0x000000);
    }
}

class CBuilder {
public:
    CBuilder(const TemplateRecipe& recipe, Mode mode) : recipe_(recipe), mode_(mode) {}

    std::uint16_t NewId() { return ++lastId_; }
    std::uint16_t Shape(const CShape& s, int version = 3) {
        const std::uint16_t id = NewId();
        defs_.push_back(Tag(version == 3 ? kDefineShape3 : kDefineShape, s.Body(id, version)));
        return id;
    }

    // The layers of a button face, centred on (0, 0), w x h pixels.
    std::vector<std::uint16_t> Face(int w, int h) {
        const std::int32_t x0 = -w * T / 2, x1 = w * T / 2, y0 = -h * T / 2, y1 = h * T / 2;
        std::vector<std::uint16_t> layers;
        CShape face, gloss;
        bool hasGloss = false;
        switch (recipe_.style) {
        case Style::SquareGradient: {
            face.RoundRect(x0, y0, x1, y1, h * T / 6, face.Solid(Hex(0x003366)));
            const int f = gloss.Vertical({{0, Hex(0xFFFFFF, 0x70)}, {255, Hex(0xFFFFFF, 0x08)}}, y0, 0);
            gloss.RoundRect(x0 + 2 * T, y0 + 2 * T, x1 - 2 * T, 0, h * T / 8, f);
            hasGloss = true;
            break;
        }
        case Style::CircleGradient: {
            const int f = face.Radial({{0, Hex(0x61EF01)}, {170, Hex(0x1DA400)}, {255, Hex(0x004A00)}},
                                      0, y0 / 4, x1 + x1 / 4);
            face.Ellipse(0, 0, x1, y1, f, face.Line(30, Hex(0x004A00)));
            const int g = gloss.Vertical({{0, Hex(0xD5FFD7, 0xD0)}, {255, Hex(0xD5FFD7, 0x00)}},
                                         y0 + 2 * T, 0);
            gloss.Ellipse(0, y0 / 2 + T, x1 * 6 / 10, y1 * 4 / 10, g);
            hasGloss = true;
            break;
        }
        case Style::CirclePlain:
            face.Ellipse(0, 0, x1, y1, face.Solid(Hex(0x000000)));
            break;
        case Style::Trumpet:
            face.RoundRect(x0, y0, x1, y1, h * T / 2, face.Solid(Hex(0x3366CC)));
            break;
        case Style::RoundRect: {
            const int f = face.Vertical({{0, Grey(0xBB)}, {40, Grey(0x99)}, {90, Grey(0x88)},
                                         {128, Grey(0x77)}, {150, Grey(0x6F)}, {200, Grey(0x66)},
                                         {255, Grey(0x5E)}},
                                        y0, y1);
            face.RoundRect(x0, y0, x1, y1, h * T / 5, f, face.Line(20, Grey(0x73)));
            gloss.RoundRect(x0 + 5 * T, y0 + 2 * T, x1 - 5 * T, y0 + 4 * T, T, gloss.Solid(Grey(0xA6)));
            hasGloss = true;
            break;
        }
        case Style::Track: {
            const int f = face.Vertical({{0, Grey(0x87)}, {128, Grey(0x66)}, {255, Grey(0x47)}}, y0, y1);
            face.RoundRect(x0, y0, x1, y1, h * T / 4, f, face.Line(20, Grey(0x38)));
            break;
        }
        case Style::Jpeg:
            face.Ellipse(0, 0, x1, y1, face.Solid(Hex(0x000000, 0x90)), face.Line(20, Hex(0xFFFFFF, 0xC0)));
            break;
        case Style::Text:
            break;
        }
        if (recipe_.style != Style::Text) layers.push_back(Shape(face));
        if (hasGloss) layers.push_back(Shape(gloss));
        return layers;
    }

    std::uint16_t IconShape(Icon icon, int size) {
        const Rgba colour = recipe_.style == Style::Track ? Grey(0xE7) : Hex(0xFFFFFF);
        const double s = size * 0.28 * T;
        auto v = [&](double f) { return static_cast<std::int32_t>(std::lround(f * s)); };
        CShape c;
        const int fill = c.Solid(colour);
        switch (icon) {
        case Icon::Play:
            c.Polygon({{v(-0.7), v(-1)}, {v(1.05), 0}, {v(-0.7), v(1)}}, fill);
            break;
        case Icon::Pause:
            c.Rect(v(-0.8), v(-0.95), v(-0.22), v(0.95), fill);
            c.Rect(v(0.22), v(-0.95), v(0.8), v(0.95), fill);
            break;
        case Icon::Stop:
            c.Rect(v(-0.78), v(-0.78), v(0.78), v(0.78), fill);
            break;
        }
        return Shape(c);
    }

    std::uint16_t HitRect(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
        CShape c;
        c.Rect(x0, y0, x1, y1, c.Solid(Hex(0x808080)));
        return Shape(c);
    }

    // A button of w x h pixels centred on its placement point.
    std::uint16_t Button(Icon icon, int w, int h, const Bytes& actions) {
        std::vector<ButtonRecord> recs;
        std::uint16_t depth = 1;
        std::vector<std::uint16_t> layers = Face(w, h);
        if (recipe_.style != Style::Text) layers.push_back(IconShape(icon, std::min(w, h)));
        for (std::uint16_t id : layers) {
            recs.push_back({0x01, id, depth, 0});
            recs.push_back({0x02, id, depth, 28});
            recs.push_back({0x04, id, depth, -28});
            ++depth;
        }
        recs.push_back({0x08, HitRect(-w * T / 2, -h * T / 2, w * T / 2, h * T / 2), depth, 0});
        const std::uint16_t id = NewId();
        defs_.push_back(Tag(kDefineButton2, Button2(id, recs, kOnRelease, actions)));
        return id;
    }

    std::uint16_t Font() {
        if (!font_) {
            font_ = NewId();
            defs_.push_back(Tag(kDefineFont2, DeviceFont(font_, "_sans")));
        }
        return font_;
    }

    std::uint16_t Text(const EditTextRecipe& recipe) {
        const std::uint16_t id = NewId();
        defs_.push_back(Tag(kDefineEditText, EditText(id, recipe)));
        return id;
    }

    std::uint16_t SpriteOf(const std::vector<Bytes>& tags) {
        const std::uint16_t id = NewId();
        defs_.push_back(Tag(kDefineSprite, Sprite(id, tags)));
        return id;
    }

    Bytes Build(const Bytes& jpeg, ControlLayout& L);

private:
    const TemplateRecipe& recipe_;
    Mode mode_;
    std::vector<Bytes> defs_;
    std::uint16_t lastId_ = 0;
    std::uint16_t font_ = 0;
};

Bytes CBuilder::Build(const Bytes& jpeg, ControlLayout& L) {
    const Style style = recipe_.style;
    const bool isJpeg = style == Style::Jpeg, isText = style == Style::Text;
    const int B = isJpeg ? 20 : 28, m = isJpeg ? 4 : 6, gap = isJpeg ? 4 : 6;
    const int toggleW = isText ? 56 : B, stopW = isText ? 48 : B;
    const int cy = m + B / 2;
    ControlContext ctx;
    ctx.mode = mode_;
    ctx.time = recipe_.time;
    ctx.track = recipe_.track;

    // Layout, left to right: [horn] play/pause, stop, [time], [track].
    int x = m;
    const int hornX = x;
    if (style == Style::Trumpet) x += 26 + gap;
    L.playX = x + toggleW / 2;
    x += toggleW + gap;
    L.stopX = x + stopW / 2;
    x += stopW + gap;
    L.playY = L.stopY = cy;
    if (recipe_.time) {
        L.time = true;
        L.timeX = x;
        L.timeW = 84;
        L.timeH = 18;
        L.timeY = cy - 9;
        x += L.timeW + gap;
    }
    if (recipe_.track) {
        L.track = true;
        L.trackX0 = x + 7;
        L.trackX1 = x + 7 + 150;
        L.trackY = cy;
        x = L.trackX1 + 7 + gap;
        ctx.trackX0 = L.trackX0;
        ctx.trackWidth = L.trackX1 - L.trackX0;
    }
    L.width = isJpeg ? 100 : x - gap + m;
    L.height = isJpeg ? 75 : B + 2 * m;
    if (isText) {
        ctx.showWhenStopped = {"playBtn", "playLbl"};
        ctx.showWhenPlaying = {"pauseBtn", "pauseLbl"};
    }

    std::vector<Bytes> ctl;  // frame 1 of the ctl sprite
    std::uint16_t depth = 1;
    auto place = [&](std::uint16_t id, int px, int py, const std::string& name = {}) {
        ctl.push_back(Tag(kPlaceObject2, PlaceObject2(depth++, id, px * T, py * T, name)));
    };

    if (style == Style::Track) {
        CShape bg;
        const int f = bg.Vertical({{0, Grey(0x88)}, {255, Grey(0xD5)}}, T, (L.height - 1) * T);
        bg.RoundRect(T, T, (L.width - 1) * T, (L.height - 1) * T, 6 * T, f, bg.Line(20, Grey(0x38)));
        place(Shape(bg), 0, 0);
    }
    if (style == Style::Trumpet) {
        CShape horn;
        const std::int32_t y = cy * T;
        const std::int32_t x0 = hornX * T;
        const int f = horn.Solid(Hex(0x3366CC));
        horn.Polygon({{x0, y - 3 * T}, {x0 + 10 * T, y - 3 * T}, {x0 + 26 * T, y - 12 * T},
                      {x0 + 26 * T, y + 12 * T}, {x0 + 10 * T, y + 3 * T}, {x0, y + 3 * T}}, f);
        horn.Rect(x0 + 3 * T, y - 7 * T, x0 + 5 * T, y - 3 * T, f);
        horn.Rect(x0 + 6 * T, y - 7 * T, x0 + 8 * T, y - 3 * T, f);
        place(Shape(horn), 0, 0);
    }

    place(Button(Icon::Play, toggleW, B, PlayButtonActions(ctx)), L.playX, cy, "playBtn");
    place(Button(Icon::Pause, toggleW, B, PauseButtonActions(ctx)), L.playX, cy, "pauseBtn");
    place(Button(Icon::Stop, stopW, B, StopButtonActions(ctx)), L.stopX, cy, "stopBtn");
    if (isText) {
        auto label = [&](const char* text, int w) {
            return Text({-w * T / 2, -11 * T, w * T / 2, 11 * T, Font(), 15 * T, Hex(0x000000), 2,
                         std::string("tvLbl") + text, text});
        };
        place(label("PLAY", toggleW), L.playX, cy, "playLbl");
        place(label("PAUSE", toggleW), L.playX, cy, "pauseLbl");
        place(label("STOP", stopW), L.stopX, cy, "stopLbl");
    }
    if (recipe_.time) {
        place(Text({0, 0, L.timeW * T, L.timeH * T, Font(), 12 * T, TimeColour(style), 0, "tvTime",
                    "0:00 / 0:00"}),
              L.timeX, L.timeY);
    }
    if (recipe_.track) {
        const std::int32_t w = (L.trackX1 - L.trackX0) * T;
        CShape groove;
        groove.RoundRect(-4 * T, -3 * T, w + 4 * T, 3 * T, 3 * T, groove.Solid(Grey(0x47)));
        place(Shape(groove), L.trackX0, cy);
        CShape bar;
        bar.Rect(0, -2 * T, w, 2 * T, bar.Vertical({{0, Grey(0x66)}, {255, Grey(0x55)}}, -2 * T, 2 * T));
        const std::uint16_t barShape = Shape(bar);
        place(SpriteOf({Tag(kPlaceObject2, PlaceObject2(1, barShape, 0, 0)), Tag(kShowFrame, {})}),
              L.trackX0, cy, "bar");
        CShape knob;
        knob.Ellipse(0, 0, 6 * T, 6 * T, knob.Solid(Grey(0xE7)), knob.Line(30, Grey(0x17)));
        const std::uint16_t knobShape = Shape(knob);
        place(SpriteOf({Tag(kPlaceObject2, PlaceObject2(1, knobShape, 0, 0)), Tag(kShowFrame, {})}),
              L.trackX0, cy, "knob");
        // Invisible: only a hit area over the whole track.
        const std::uint16_t hit = HitRect((L.trackX0 - 6) * T, (cy - 10) * T, (L.trackX1 + 6) * T,
                                          (cy + 10) * T);
        const std::uint16_t seek = NewId();
        defs_.push_back(Tag(kDefineButton2, Button2(seek, {{0x08, hit, 1, 0}}, kOnPress,
                                                    SeekButtonActions(ctx))));
        place(seek, 0, 0, "seekBtn");
    }
    // The ticker keeps the display up to date: two frames, each running the tick script.
    const Bytes tick = Tag(kDoAction, TickActions(ctx));
    ctl.push_back(tick);
    ctl.push_back(Tag(kShowFrame, {}));
    ctl.push_back(tick);
    ctl.push_back(Tag(kShowFrame, {}));
    const std::uint16_t ctlId = SpriteOf(ctl);

    std::vector<Bytes> tags = {Tag(kSetBackgroundColor, {0xFF, 0xFF, 0xFF})};
    // The picture first, so ReplaceJpeg finds the placeholder it expects.
    std::vector<Bytes> root;
    std::uint16_t rootDepth = 1;
    if (isJpeg) {
        const std::uint16_t pic = NewId();
        Bytes body;
        PutU16(body, pic);
        body.insert(body.end(), jpeg.begin(), jpeg.end());
        tags.push_back(Tag(kDefineBitsJpeg2, body));
        // 600 x 500 twips from (0, 0), filled by the picture at its own size. Only this shape may
        // be a DefineShape: the picture rewrite stretches every DefineShape.
        CShape rect;
        rect.Rect(0, 0, 600, 500, rect.Bitmap(pic));
        const std::uint16_t rectId = NewId();
        tags.push_back(Tag(kDefineShape, rect.Body(rectId, 1)));
        root.push_back(Tag(kPlaceObject2, PlaceObject2(rootDepth++, rectId, 0, 0)));
    }
    tags.insert(tags.end(), defs_.begin(), defs_.end());
    if (mode_ == Mode::Shell) {
        const std::uint16_t holder = NewId();
        tags.push_back(Tag(kDefineSprite, Sprite(holder, {Tag(kShowFrame, {})})));
        root.push_back(Tag(kPlaceObject2, PlaceObject2(rootDepth++, holder, 0, 0, "snd")));
    }
    root.push_back(Tag(kPlaceObject2, PlaceObject2(10, ctlId, 0, 0, "ctl")));
    tags.insert(tags.end(), root.begin(), root.end());
    tags.push_back(Tag(kDoAction, mode_ == Mode::Shell ? PlayerInitActions() : TemplateStopActions()));
    tags.push_back(Tag(kShowFrame, {}));
    tags.push_back(Tag(kShowFrame, {}));
    for (const Bytes& a : {StartPlayActions(recipe_.time), StartStopActions(recipe_.time), EndLoopActions(),
                           EndStopActions()}) {
        tags.push_back(Tag(kDoAction, a));
        tags.push_back(Tag(kShowFrame, {}));
    }
    return Movie(kVersion, L.width, L.height, kFps, tags);
}

}  // namespace

Bytes BuildTemplate(const TemplateRecipe& recipe, Mode mode, const Bytes& placeholderJpeg,
                    ControlLayout& layout) {
    layout = {};
    CBuilder b(recipe, mode);
    return b.Build(placeholderJpeg, layout);
}

Bytes BuildEmptyTemplate() {
    std::vector<Bytes> tags = {Tag(kShowFrame, {}), Tag(kShowFrame, {})};
    for (const Bytes& a : {PlainStartPlayActions(), PlainStartStopActions(), EndLoopActions(),
                           PlainStartStopActions()}) {
        tags.push_back(Tag(kDoAction, a));
        tags.push_back(Tag(kShowFrame, {}));
    }
    return Movie(kVersion, 1, 1, kFps, tags);
}

}  // namespace tonvela::templategen
