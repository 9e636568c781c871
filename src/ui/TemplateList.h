// The SWF page's template lists: the template files of a folder, by name, each item carrying
// its full path.
#pragma once

#include <QString>
#include <filesystem>
#include <string>

class QComboBox;

namespace tonvela {

// Fills box with the .swf files of folder (not its sub-folders) in name order, without regard
// to case, and selects the one that is the file selected names, else the first.
void FillTemplateList(QComboBox* box, const std::filesystem::path& folder, const std::string& selected);
// Selects, without signals, the first item whose text begins with text (without regard to
// case); no such item leaves the selection as it is.
void SelectByPrefix(QComboBox* box, const QString& text);

}  // namespace tonvela
