// Percent-encoding of names and paths for links and URIs: one encoder, each caller naming the
// bytes it keeps, and its decoder.
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

// Each %XX becomes its byte; a "%" not followed by two hex digits stands for itself.
std::string PercentDecode(std::string_view text);

// The value of an ASCII hex digit (either case), or -1.
int HexDigitValue(char c);

}  // namespace tonvela
