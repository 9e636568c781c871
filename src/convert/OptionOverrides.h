// Setting one field of the settings record by its stored name, as the command line's
// "--set NAME=VALUE" does.
#pragma once

#include <string>
#include <vector>

namespace tonvela {

class CConvertOptions;

// Sets the field called name (the settings' value name, e.g. "SWFFrameRate") from text:
// integers in decimal or 0x-hex (colours are COLORREF, red in the low byte), paths as text,
// GC as four comma-separated numbers, TBC as one number. False, with error set and the record
// unchanged, for an unknown name or a value that does not parse or that the setting's rule in
// the catalog refuses (the error then names the values allowed). The rules between settings
// are checked once all are set: CheckSettingRules.
bool SetOptionByName(CConvertOptions& options, const std::string& name, const std::string& value,
                     std::string& error);

// Every name SetOptionByName accepts, in the settings' order.
std::vector<std::string> OptionNames();

}  // namespace tonvela
