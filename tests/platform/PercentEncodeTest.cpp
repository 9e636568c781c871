// The percent-encoder of links and URIs, byte class by byte class.
#include "platform/PercentEncode.h"

#include <gtest/gtest.h>

#include "platform/ShowItems.h"

namespace tonvela {
namespace {

TEST(PercentEncode, EveryByteClass) {
    // A file name in a link keeps only letters, digits and ".".
    EXPECT_EQ(UrlEncodeName("Az09."), "Az09.");
    EXPECT_EQ(UrlEncodeName(" _-%?&#/\x01\x7f"), "%20%5F%2D%25%3F%26%23%2F%01%7F");
    EXPECT_EQ(UrlEncodeName("\x80\xff"), "%80%FF");
    EXPECT_EQ(UrlEncodeName(""), "");
    // A file URI keeps the unreserved bytes and "/" as well.
    EXPECT_EQ(FileUri("/a b/x-y_z.~/\xc3\xa9%"), "file:///a%20b/x-y_z.~/%C3%A9%25");
}

}  // namespace
}  // namespace tonvela
