#include "swf/TemplateKind.h"

#include <string>
#include <string_view>

namespace tonvela {

namespace {

struct KindStem {
    std::string_view stem;
    TemplateKind kind;
};

// Tested in this order: "text" comes before the later stems on purpose.
constexpr KindStem kKindStems[] = {
    {"circle_gradient", kKindCircleGradient},
    {"circle_plain", kKindCirclePlain},
    {"text", kKindText},
    {"square_gradient", kKindSquareGradient},
    {"track_", kKindTrack},
    {"trumpet", kKindTrumpet},
    {"round_rect", kKindRoundRect},
    {"use_a_jpeg", kKindJpeg},
};

std::string LowerFileName(const std::filesystem::path& path) {
    std::string name = path.filename().string();
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

}  // namespace

TemplateKind TemplateKindFromPath(const std::filesystem::path& path) {
    const std::string name = LowerFileName(path);
    for (const KindStem& k : kKindStems)
        if (name.find(k.stem) != std::string::npos) return k.kind;
    return kKindNone;
}

bool TemplateShowsTime(const std::filesystem::path& path) {
    return LowerFileName(path).find("time") != std::string::npos;
}

}  // namespace tonvela
