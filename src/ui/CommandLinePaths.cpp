#include "ui/CommandLinePaths.h"

#include <string_view>

namespace tonvela {

std::vector<std::string> CommandLinePaths(int argc, const char* const* argv) {
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        const std::string_view arg(argv[i]);
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') continue;
        paths.emplace_back(arg);
    }
    return paths;
}

}  // namespace tonvela
