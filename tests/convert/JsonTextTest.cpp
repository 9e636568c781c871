#include "convert/JsonText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tonvela {
namespace {

// Hand-worked: valid UTF-8 stays, stray bytes become \udcXX, JSON's own specials are escaped.
TEST(JsonQuote, EveryByteClass) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"/music/a.wav", "\"/music/a.wav\""},
        {"caf\xc3\xa9 \xf0\x9f\x8e\xb5", "\"caf\xc3\xa9 \xf0\x9f\x8e\xb5\""},
        {"caf\xe9.wav", "\"caf\\udce9.wav\""},                    // Latin-1
        {"\xc0\xaf", "\"\\udcc0\\udcaf\""},                         // overlong "/"
        {"\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""},              // a surrogate
        {"\xf4\x90\x80\x80", "\"\\udcf4\\udc90\\udc80\\udc80\""},  // past U+10FFFF
        {"\xe2\x82", "\"\\udce2\\udc82\""},                         // cut short
        {"q\"b\\\n\x01\x7f", "\"q\\\"b\\\\\\u000a\\u0001\x7f\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonQuote(c.in), c.out);
        // Valid UTF-8 comes back unchanged through another parser.
        if (c.out.find("\\udc") == std::string::npos) {
            EXPECT_EQ(nlohmann::json::parse(JsonQuote(c.in)).get<std::string>(), c.in);
        }
    }
}

}  // namespace
}  // namespace tonvela
