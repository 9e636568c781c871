// build_man_settings PAGE.in PAGE DATADIR: writes the manual page PAGE from PAGE.in with the
// line `.\" @SETTINGS@` replaced by one entry per setting of the settings catalogue (name,
// meaning, the values it takes, its default with the data folder DATADIR), the same table
// --list-settings prints, so the manual page and the program cannot tell different stories.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"

namespace {

using namespace tonvela;

// Text as roff shows it: backslashes escaped, hyphens as hyphens-minus (so names and values
// can be copied), and a line that would start with a control character made harmless.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string SettingsSection(const CConvertOptions& defaults) {
    std::string out;
    for (const SettingInfo& s : kSettingsCatalog) {
        const std::string value = SettingValueText(defaults, s);
        out += ".TP\n.B " + Roff(s.name) + "\n" + Roff(s.meaning) + ".\n.br\nValues: " + Roff(SettingValuesText(s)) +
               "; default: " + (value.empty() ? std::string("empty") : "\\fB" + Roff(value) + "\\fR") + ".\n";
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: build_man_settings PAGE.in PAGE DATADIR\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "build_man_settings: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string marker = ".\\\" @SETTINGS@";
    std::ostringstream page;
    std::string line;
    int markers = 0;
    while (std::getline(in, line)) {
        if (line == marker) {
            page << SettingsSection(CConvertOptions(argv[3]));
            ++markers;
        } else {
            page << line << '\n';
        }
    }
    if (markers != 1) {
        std::cerr << "build_man_settings: " << argv[1] << " must hold the line " << marker << " once\n";
        return 1;
    }
    // Written whole under a temporary name, then renamed: make never sees half a page.
    const std::string temp = std::string(argv[2]) + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << page.str();
        out.close();
        if (!out) {
            std::cerr << "build_man_settings: cannot write " << temp << "\n";
            std::remove(temp.c_str());
            return 1;
        }
    }
    if (std::rename(temp.c_str(), argv[2]) != 0) {
        std::cerr << "build_man_settings: cannot write " << argv[2] << "\n";
        std::remove(temp.c_str());
        return 1;
    }
    return 0;
}
