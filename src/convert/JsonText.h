// JSON text for strings that may hold any bytes (Linux file names are bytes, not text).
#pragma once

#include <string>
#include <string_view>

namespace tonvela {

// bytes as a quoted JSON string. Valid UTF-8 is kept (quotes, backslashes and control
// characters escaped); every byte that is not part of valid UTF-8 becomes the escape \udcXX,
// XX the byte's value, as in Python's "surrogateescape": os.fsencode(json.loads(text)) gives
// the exact bytes back. Never fails.
std::string JsonQuote(std::string_view bytes);

}  // namespace tonvela
