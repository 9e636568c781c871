// The recursive folder search of Add Folder and of dropped folders. Symbolic links play the
// role of shortcuts: a link to a supported file adds the file; a link to a folder is not searched.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tonvela {

// Asked for every entry a search looks at; true stops the search (what was found so far stays).
using SearchStop = std::function<bool()>;

// Longest chain of links followed before giving up (a loop of links ends here).
inline constexpr int kMaxShortcutChain = 32;

// The folder itself, then all its sub-folders in pre-order, each level in name order
// (CompareNames). Links to folders are not entered; unreadable folders are listed but yield nothing.
std::vector<std::string> CollectFolders(const std::string& folder, const SearchStop& stop = {});

// Appends every supported file of these folders (not their sub-folders) to paths, each
// folder's files in name order (CompareNames).
void CollectFiles(const std::vector<std::string>& folders, std::vector<std::string>& paths,
                  const SearchStop& stop = {});

// One found or dropped non-folder path: appended when its extension is supported; a link is
// followed (bounded) and its target appended when the target is a supported file.
void AddFoundFile(const std::string& path, std::vector<std::string>& paths);

// A dropped item or a command-line folder: a folder is searched recursively, anything else
// goes through AddFoundFile.
void AddDroppedPath(const std::string& path, std::vector<std::string>& paths, const SearchStop& stop = {});

// The inputs named on a command line (tonvela-convert's, or the desktop program's "Open
// with"), each resolved through the file system ("link/../x.wav" is the file the kernel opens):
// a folder is searched like Add Folder, anything else is taken as named, like Add Files.
std::vector<std::string> ExpandCommandLinePaths(const std::vector<std::string>& given, const SearchStop& stop = {});
// One of them, appended to paths; returns the resolved folder that was searched, or "" when
// the input was taken as a file.
std::string ExpandCommandLinePath(const std::string& given, std::vector<std::string>& paths,
                                  const SearchStop& stop = {});

// One step of a link: its target, made absolute against the link's folder. False when path
// is not a link or cannot be read.
bool ResolveShortcut(const std::string& path, std::string& target);

}  // namespace tonvela
