// Every shipped template with a table of button colours: the play and stop symbols keep a
// visible contrast with the face they sit on, and the plain mapping is kept wherever it
// already gives one. The symbol and face colours are read from the recoloured bytes, at the
// places where the template holds its symbol and face colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "swf/ColourMap.h"
#include "swf/SwfTemplate.h"
#include "swf/TemplateKind.h"

namespace tonvela {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | g << 8 | b << 16; }
constexpr std::uint32_t Grey(std::uint32_t g) { return Rgb(g, g, g); }

// WCAG 2 contrast ratio, from the standard's formulas.
double Luminance(std::uint32_t c) {
    auto lin = [](std::uint32_t v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c & 0xFF) + 0.7152 * lin(c >> 8 & 0xFF) + 0.0722 * lin(c >> 16 & 0xFF);
}
double Contrast(std::uint32_t a, std::uint32_t b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Where the template keeps colour `from`: the first byte of each place that a map of from to
// a marker colour changes.
std::vector<std::size_t> PlacesOf(const fs::path& p, std::uint32_t from) {
    CSwfTemplate plain, marked;
    EXPECT_TRUE(plain.Load(p) && marked.Load(p));
    marked.MapColour(from, Rgb(0x01, 0x02, 0x03));
    marked.WalkAndRecolour();
    std::vector<std::size_t> places;
    const auto& a = plain.Bytes();
    const auto& b = marked.Bytes();
    for (std::size_t i = 0; i + 2 < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        places.push_back(i);
        i += 2;
    }
    return places;
}

std::uint32_t ColourAt(const std::vector<std::uint8_t>& b, std::size_t at) { return Rgb(b[at], b[at + 1], b[at + 2]); }

// The track kind's symbol before the contrast rule: channel x 2.264706, limited to 255.
std::uint32_t TrackSymbol(std::uint32_t c) {
    std::uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) out |= std::min<std::uint32_t>(255, std::uint32_t(float(c >> s & 0xFF) * 2.264706f)) << s;
    return out;
}

TEST(TemplateContrast, SymbolsStandOutFromTheirFaceInEveryTemplateAndColour) {
    struct Named {
        const char* name;
        std::uint32_t colour;  // COLORREF
    };
    const Named colours[] = {
        {"black", Rgb(0, 0, 0)},          {"white", Rgb(0xFF, 0xFF, 0xFF)},  {"red", Rgb(0xFF, 0, 0)},
        {"green", Rgb(0, 0xFF, 0)},       {"blue", Rgb(0, 0, 0xFF)},         {"yellow", Rgb(0xFF, 0xFF, 0)},
        {"dark grey", Grey(0x40)},        {"grey", Grey(0x80)},              {"light grey", Grey(0xC0)},
        {"default green", Rgb(0, 0xAA, 0)}, {"navy", Rgb(0x12, 0x34, 0x56)},
    };
    int checked = 0;
    for (const char* folder : {"ControlSWF", "ControlSWF/ShellPlayer"}) {
        for (const auto& e : fs::directory_iterator(fs::path(TONVELA_DATA_DIR) / folder)) {
            if (e.path().extension() != ".swf") continue;
            const TemplateKind kind = TemplateKindFromPath(e.path());
            // The face colour each kind is drawn in, and its symbols' colour.
            std::uint32_t face = 0, symbol = Grey(0xFF);
            switch (kind) {
            case kKindCircleGradient: face = Rgb(0x1D, 0xA4, 0x00); break;
            case kKindCirclePlain: face = Rgb(0, 0, 0); break;
            case kKindSquareGradient: face = Rgb(0x00, 0x33, 0x66); break;
            case kKindTrumpet: face = Rgb(0x33, 0x66, 0xCC); break;
            case kKindRoundRect: face = Grey(0x6F); break;
            case kKindTrack: face = Grey(0x66), symbol = Grey(0xE7); break;
            case kKindJpeg: face = Rgb(0, 0, 0); break;  // see-through buttons over the picture
            default: continue;  // no symbols on a face: text labels
            }
            const std::vector<std::size_t> symbols = PlacesOf(e.path(), symbol), faces = PlacesOf(e.path(), face);
            ASSERT_FALSE(symbols.empty()) << e.path();
            ASSERT_FALSE(faces.empty()) << e.path();
            for (const Named& c : colours) {
                SCOPED_TRACE(e.path().string() + " in " + c.name);
                CSwfTemplate t;
                ASSERT_TRUE(t.Load(e.path()));
                if (kind == kKindTrack)
                    BuildTrackColourMap(t, c.colour, Rgb(0xE8, 0xFF, 0xE8), Rgb(0x9D, 0xFF, 0x9D), Rgb(0, 0x80, 0));
                else
                    BuildButtonColourMap(t, kind, c.colour);
                t.WalkAndRecolour();
                const std::uint32_t planned = kind == kKindTrack ? TrackSymbol(c.colour) : Grey(0xFF);
                for (std::size_t f : faces) EXPECT_EQ(ColourAt(t.Bytes(), f), c.colour);
                for (std::size_t s : symbols) {
                    const std::uint32_t shown = ColourAt(t.Bytes(), s);
                    EXPECT_GE(Contrast(shown, c.colour), 3.0) << std::hex << shown;
                    if (Contrast(planned, c.colour) >= 3.0) {
                        EXPECT_EQ(shown, planned);
                    }
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 2 * 8 * 11);  // eight kinds with faces in each folder
}

TEST(TemplateContrast, AHiddenSymbolTakesTheNearestVisibleColour) {
    // Worked out by hand from the WCAG formulas: red 74 is the lightest red with 3:1 against
    // FF0000 (75 gives 2.99), and a dark red is nearer than any pink (a pink needs green and
    // blue of D6 or more); grey 94 the lightest grey against white (95 gives 2.995); grey 5A the
    // darkest against black (59 gives 2.998).
    struct Case {
        std::uint32_t button, symbol;
    };
    for (const Case& k : {Case{Rgb(0xFF, 0, 0), Rgb(0x74, 0, 0)}, Case{Grey(0xFF), Grey(0x94)},
                          Case{Grey(0), Grey(0x5A)}}) {
        CSwfTemplate t;
        BuildTrackColourMap(t, k.button, 0, 0, 0);
        std::uint32_t shown = 0;
        for (const auto& [from, to] : t.ColourMap())
            if (from == Grey(0xE7)) shown = to;
        EXPECT_EQ(shown, k.symbol) << std::hex << k.button;
    }
}

}  // namespace
}  // namespace tonvela
