// The local files a drag and drop names, as the bytes of their names. A file manager sends a
// text/uri-list of percent-encoded file: URIs; read by hand, since a name that is not valid
// UTF-8 (an old Latin-1 file name) does not survive the toolkit's URL and string classes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// The paths of the list's local file: URIs (no host, or "localhost"), in order. Comment lines,
// other schemes, other hosts, relative paths and names holding a NUL byte are left out; a "%"
// not followed by two hex digits stands for itself.
std::vector<std::string> LocalPathsOfUriList(std::string_view list);

}  // namespace tonvela
