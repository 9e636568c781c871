// Builds the shipped template set: the control templates (single SWF and shell player of each),
// empty.swf, and a layout file telling the player tests where each template's controls are.
//
//   make_templates DATA_DIR PLACEHOLDER_JPEG [LAYOUT_JSON]
//
// DATA_DIR receives ControlSWF/, ControlSWF/ShellPlayer/ and empty.swf. PLACEHOLDER_JPEG is the
// 30 x 25 pixel picture of the JPEG-background template (tools/templategen/placeholder.jpg).
// Both pictures are our own, made by ffmpeg from its gradient source:
//   ffmpeg -f lavfi -i "gradients=s=30x25:c0=0x3a7bd5:c1=0xf5af19:seed=7:duration=1"
//          -frames:v 1 -q:v 4 tools/templategen/placeholder.jpg
//   ffmpeg -f lavfi -i "gradients=s=320x240:c0=0x1e3c72:c1=0xf7971e:c2=0x2a5298:nb_colors=3:seed=11:duration=1"
//          -frames:v 1 -q:v 3 data/sample.jpg
// Rebuild the set with: make_templates data tools/templategen/placeholder.jpg
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "templategen/TemplateBuilder.h"

using namespace tonvela::templategen;
namespace fs = std::filesystem;

namespace {

// One of every kind; the file name picks the kind (and "time" the time display).
const std::vector<TemplateRecipe> kTemplates = {
    {"square_gradient_3.swf", Style::SquareGradient},
    {"square_gradient_time_3.swf", Style::SquareGradient, true},
    {"circle_gradient_1.swf", Style::CircleGradient},
    {"circle_plain_1.swf", Style::CirclePlain},
    {"text_1.swf", Style::Text},
    {"track_time_1.swf", Style::Track, true, true},
    {"trumpet_1.swf", Style::Trumpet},
    {"round_rect_1.swf", Style::RoundRect},
    {"use_a_jpeg_1.swf", Style::Jpeg},
};

bool Write(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    out.close();
    if (!out) std::fprintf(stderr, "make_templates: cannot write %s\n", p.c_str());
    return static_cast<bool>(out);
}

std::string LayoutJson(const std::string& folder, const std::string& name, const ControlLayout& l) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "  {\"folder\": \"%s\", \"name\": \"%s\", \"width\": %d, \"height\": %d, "
                  "\"play\": [%d, %d], \"stop\": [%d, %d], \"track\": %s, \"time\": %s}",
                  folder.c_str(), name.c_str(), l.width, l.height, l.playX, l.playY, l.stopX,
                  l.stopY,
                  l.track ? ("[" + std::to_string(l.trackX0) + ", " + std::to_string(l.trackX1) +
                             ", " + std::to_string(l.trackY) + "]").c_str()
                          : "null",
                  l.time ? ("[" + std::to_string(l.timeX) + ", " + std::to_string(l.timeY) + ", " +
                            std::to_string(l.timeW) + ", " + std::to_string(l.timeH) + "]").c_str()
                         : "null");
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_templates DATA_DIR PLACEHOLDER_JPEG [LAYOUT_JSON]\n");
        return 2;
    }
    const fs::path data = argv[1];
    std::ifstream in(argv[2], std::ios::binary);
    const Bytes jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        std::fprintf(stderr, "make_templates: %s is not a JPEG file\n", argv[2]);
        return 1;
    }
    std::error_code ec;
    fs::create_directories(data / "ControlSWF" / "ShellPlayer", ec);
    bool ok = Write(data / "empty.swf", BuildEmptyTemplate());
    std::vector<std::string> layouts;
    for (const TemplateRecipe& recipe : kTemplates) {
        for (Mode mode : {Mode::Single, Mode::Shell}) {
            ControlLayout layout;
            const Bytes swf = BuildTemplate(recipe, mode, jpeg, layout);
            const std::string folder = mode == Mode::Single ? "ControlSWF" : "ControlSWF/ShellPlayer";
            ok = Write(data / folder / recipe.fileName, swf) && ok;
            layouts.push_back(LayoutJson(folder, recipe.fileName, layout));
        }
    }
    if (argc > 3) {
        std::ofstream out(argv[3]);
        out << "[\n";
        for (std::size_t i = 0; i < layouts.size(); ++i)
            out << layouts[i] << (i + 1 < layouts.size() ? ",\n" : "\n");
        out << "]\n";
        ok = static_cast<bool>(out) && ok;
    }
    return ok ? 0 : 1;
}
