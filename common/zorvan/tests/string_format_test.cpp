#include "common/zorvan/String.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace Zorvan::Test {

TEST(StringFormat, ConversionsKeepTheirWideMeanings)
{
    String s;
    EXPECT_EQ(s.Format(L"%s=%d", L"a", 5), 1);
    EXPECT_EQ(s, L"a=5");

    struct Case {
        String result;
        wchar_t const *expected;
    };
    auto fmt = [](wchar_t const *f, auto... args) {
        String r;
        EXPECT_EQ(r.Format(f, args...), 1) << "format failed";
        return r;
    };
    Case const cases[] = {
        {fmt(L"[%s|%S]", L"w\u00FC", "n\xC3\xBC"), L"[w\u00FC|n\u00FC]"},
        {fmt(L"[%ls|%hs|%lS|%hS]", L"a", "b", L"c", "d"), L"[a|b|c|d]"},
        {fmt(L"[%c|%C|%lc|%hc]", L'\u20AC', 'x', L'y', 'z'), L"[\u20AC|x|y|z]"},
        {fmt(L"[%5s|%-5s|%.2s|%.2S]", L"ab", L"cd", L"efgh", "ijkl"), L"[   ab|cd   |ef|ij]"},
        {fmt(L"[%*s|%-*d|%.*s]", 4, L"x", 3, 7, 1, L"yz"), L"[   x|7  |y]"},
        {fmt(L"[%s|%S]", static_cast<wchar_t const *>(nullptr), static_cast<char const *>(nullptr)),
         L"[(null)|(null)]"},
        {fmt(L"%d %i %u %x %X %o", -3, 4, 5u, 255u, 255u, 8u), L"-3 4 5 ff FF 10"},
        {fmt(L"%05d|%+d|% d|%#x", 42, 42, 42, 42u), L"00042|+42| 42|0x2a"},
        {fmt(L"%I64d %I64x %lld", int64_t(-1) << 40, uint64_t(1) << 36, 123456789012LL),
         L"-1099511627776 1000000000 123456789012"},
        {fmt(L"%ld %zu %hd %hhu", 1L << 40, size_t(7), 70000, 300), L"1099511627776 7 4464 44"},
        {fmt(L"%.2f %e %g", 1.005, 1.5, 0.25), L"1.00 1.500000e+00 0.25"},
        {fmt(L"100%% %q"), L"100% %q"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].result, cases[i].expected) << "case " << i;
}

TEST(StringFormat, CountConversionStoresCharactersSoFar)
{
    String s;
    int count = -1;
    s.Format(L"abc%n%s", &count, L"def");
    EXPECT_EQ(count, 3);
    EXPECT_EQ(s, L"abcdef");
}

TEST(StringFormat, LongResultsAreKeptWhole)
{
    std::wstring big(100000, L'q');
    String s;
    ASSERT_EQ(s.Format(L"<%s>%08d", big.c_str(), 12), 1);
    ASSERT_EQ(s.GetLength(), 100000 + 2 + 8);
    EXPECT_EQ(s[0], L'<');
    EXPECT_EQ(s.Mid(1, 100000), big.c_str());
    EXPECT_EQ(s.Right(9), L">00000012");

    // A wide field from the format itself is padded, not cut.
    ASSERT_EQ(s.Format(L"%5000d", 1), 1);
    EXPECT_EQ(s.GetLength(), 5000);
    EXPECT_EQ(s.Right(2), L" 1");
}

// A format that cannot be made returns 0: a width too large and a missing
// format leave the string as it was; a resource format, with no resources
// to take its text from, empties it.
TEST(StringFormat, FormatsThatCannotBeMadeReturnZero)
{
    struct Case {
        char const *what;
        int (*format)(String &);
        wchar_t const *left;
    } const cases[] = {
        {"width too large", [](String &s) { return s.Format(L"%99999999999d", 1); }, L"kept"},
        {"no format", [](String &s) { return s.Format(static_cast<wchar_t const *>(nullptr)); }, L"kept"},
        {"resource format", [](String &s) { return s.Format(12u, 1); }, L""},
        {"resource message", [](String &s) { return s.FormatMessageW(12u); }, L""},
    };
    for (Case const &c : cases) {
        String s(L"kept");
        EXPECT_EQ(c.format(s), 0) << c.what;
        EXPECT_EQ(s, c.left) << c.what;
    }
}

TEST(StringFormat, FormatMessageInsertsByNumber)
{
    String s;
    ASSERT_EQ(s.FormatMessageW(L"%2 before %1, %2 again%n100%% %3!d!%0 dropped", L"one", L"two", 42), 1);
    EXPECT_EQ(s, L"two before one, two again\n100% 42");

    ASSERT_EQ(s.FormatMessageW(L"[%1!5s!|%2!x!]", L"ab", 255), 1);
    EXPECT_EQ(s, L"[   ab|ff]");

    ASSERT_EQ(s.FormatMessageW(L"no inserts"), 1);
    EXPECT_EQ(s, L"no inserts");
}

} // namespace Zorvan::Test
