// Percent-encoding of names and paths for links and URIs: one encoder, each caller naming the
// bytes it keeps.
#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// ASCII letters, digits and the bytes in keep stay; every other byte becomes %XX (upper case).
std::string PercentEncode(std::string_view bytes, std::string_view keep);

// A file name in a link (the HTML page, the shell player's query, the preview): digits, ASCII
// letters and "." stay; every other byte (0x80 and above too, so that a page read in any code
// page links to the right file) becomes %XX.
std::string UrlEncodeName(std::string_view name);

}  // namespace tonvela
