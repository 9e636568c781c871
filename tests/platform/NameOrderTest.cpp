// Names in reading order: the table holds lists already in the expected order; each pair is
// checked both ways and sorting a reversed copy gives the list back.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

#include "platform/NameOrder.h"

namespace tonvela {
namespace {

void ExpectOrder(const std::vector<std::string>& expected) {
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        EXPECT_LT(CompareNames(expected[i], expected[i + 1]), 0) << expected[i] << " < " << expected[i + 1];
        EXPECT_GT(CompareNames(expected[i + 1], expected[i]), 0) << expected[i + 1] << " > " << expected[i];
    }
    std::vector<std::string> sorted(expected.rbegin(), expected.rend());
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) { return NameLess(a, b); });
    EXPECT_EQ(sorted, expected);
}

const std::vector<std::vector<std::string>> kOrders = {
    {"a.wav", "B.wav", "c.wav"},                              // case does not lead
    {"track2.mp3", "track10.mp3", "Track11.mp3", "track100.mp3"},  // numbers by value
    {"2.wav", "02b.wav", "10.wav"},                           // "2" and "02" are equal numbers
    {"take 9 (1).wav", "take 9 (2).wav", "take 10.wav"},
    {"x.wav", "x1.wav", "x1a.wav", "x2.wav", "xa.wav", "xab.wav"},  // "." first, then digits
    {"9.wav", "99999999999999999999999.wav", "100000000000000000000000.wav"},  // beyond 64 bits
};

TEST(NameOrder, CaseInsensitiveAndNumericInTheCLocale) {
    const std::string old = std::setlocale(LC_COLLATE, nullptr);
    ASSERT_NE(std::setlocale(LC_COLLATE, "C.UTF-8"), nullptr);
    for (const auto& order : kOrders) ExpectOrder(order);
    // Different names never compare equal, so sorting is deterministic.
    EXPECT_NE(CompareNames("a.wav", "A.wav"), 0);
    EXPECT_NE(CompareNames("track2.wav", "track02.wav"), 0);
    EXPECT_EQ(CompareNames("same.wav", "same.wav"), 0);
    std::setlocale(LC_COLLATE, old.c_str());
}

// Under a language's collation accented letters sort beside their base letter; skipped where
// the system has no such locale (one can be made: localedef -i en_US -f UTF-8 DIR/en_US.UTF-8,
// then run with LOCPATH=DIR).
TEST(NameOrder, AccentsFollowTheUsersCollation) {
    const std::string old = std::setlocale(LC_COLLATE, nullptr);
    if (std::setlocale(LC_COLLATE, "en_US.UTF-8") == nullptr && std::setlocale(LC_COLLATE, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no en_US.UTF-8 or de_DE.UTF-8 locale";
    ExpectOrder({"eclair.wav", "\xC3\xA9t\xC3\xA9.wav", "Ezra.wav", "zebra.wav"});
    for (const auto& order : kOrders) ExpectOrder(order);
    std::setlocale(LC_COLLATE, old.c_str());
}

}  // namespace
}  // namespace tonvela
