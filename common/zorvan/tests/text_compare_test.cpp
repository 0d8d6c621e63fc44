#include "common/zorvan/TextCompare.h"

#include <gtest/gtest.h>

namespace Zorvan::Test {

TEST(TextCompare, HashTable)
{
    struct Case {
        char const *text;
        uint32_t expected;
    } const cases[] = {
        {"", 0},
        {"a", 0xC9A064},
        // The byte value, not a signed char, enters the sum.
        {"\xFF", [] {
             uint32_t h = 0xFFu * 0x20001u;
             h ^= h >> 2;
             h += 0x20001u;
             return h ^ (h >> 2);
         }()},
    };
    for (auto const &c : cases)
        EXPECT_EQ(Zorvan::hash(c.text), c.expected) << c.text;
    EXPECT_NE(Zorvan::hash("ab"), Zorvan::hash("ba"));
    EXPECT_EQ(Zorvan::hash(nullptr), 0u);
}

TEST(TextCompare, CaseBlindComparisonTable)
{
    struct Case {
        char const *a, *b;
        size_t n; // SIZE_MAX: stricmp
        int expected;
    } const cases[] = {
        {"ABC", "abc", SIZE_MAX, 0},
        {"abc", "abd", SIZE_MAX, -1},
        {"b", "A", SIZE_MAX, 1},
        {"abc", "ab", SIZE_MAX, 1},
        {"", "", SIZE_MAX, 0},
        {nullptr, "", SIZE_MAX, 0},
        {"ABC", "abcd", 3, -1}, // agreeing prefix, yet the longer text is greater
        {"abcd", "ABC", 3, 1},
        {"ABC", "abc", 3, 0},
        {"abX", "abY", 2, 0},
        {"abX", "abYZ", 2, -1},
        {"abc", "xyz", 0, 0},
        {"abc", "x", 0, 1},
        {"abc", "abd", 5, -1},
    };
    for (auto const &c : cases) {
        int got = c.n == SIZE_MAX ? Zorvan::stricmp(c.a, c.b) : Zorvan::strnicmp(c.a, c.b, c.n);
        EXPECT_EQ(got, c.expected) << (c.a ? c.a : "null") << " / " << c.b << " n=" << c.n;
    }
}

} // namespace Zorvan::Test
