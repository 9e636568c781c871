// Text on its way to a terminal: control characters escaped, everything else kept byte for byte,
// whether escaped as a value or as it passes through an escaped stream.
#include "platform/TerminalText.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tonvela {
namespace {

TEST(TerminalText, ControlCharactersAreEscapedElsewhereBytesKept) {
    struct Row {
        std::string in, value, stream;
    } const rows[] = {
        {"plain caf\xc3\xa9 \xe9\xff", "plain caf\xc3\xa9 \xe9\xff", "plain caf\xc3\xa9 \xe9\xff"},
        {"\x1b[2J\x07\x7f", "\\x1B[2J\\x07\\x7F", "\\x1B[2J\\x07\\x7F"},
        {"a\nb\tc\r", "a\\x0Ab\\x09c\\x0D", "a\nb\tc\\x0D"},
        // C1 controls as UTF-8 (CSI is U+009B); U+00A0 and a lone 0xC2 are no controls.
        {"\xc2\x9b" "1m\xc2\x80\xc2\xa0\xc2", "\\u009B1m\\u0080\xc2\xa0\xc2", "\\u009B1m\\u0080\xc2\xa0\xc2"},
        {std::string("n\0ul", 4), "n\\x00ul", "n\\x00ul"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TerminalText(r.in), r.value);
        std::ostringstream out;
        {
            const CTerminalEscape escape(out);
            out << r.in.substr(0, 1);  // a C1 control split over two writes is still one
            out << r.in.substr(1);
        }
        EXPECT_EQ(out.str(), r.stream) << r.value;
    }
}

}  // namespace
}  // namespace tonvela
