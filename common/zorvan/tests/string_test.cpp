#include "common/zorvan/String.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace Zorvan::Test {
namespace {

wchar_t const *chars(String const &s) { return static_cast<wchar_t const *>(s); }

} // namespace

// ---- sharing and locking ---------------------------------------------------

TEST(StringSharing, CopiesShareUntilEitherSideWrites)
{
    String a(L"hello");
    String b(a);
    String c;
    c = a;
    EXPECT_EQ(chars(a), chars(b));
    EXPECT_EQ(chars(a), chars(c));

    b.SetAt(0, L'j');
    EXPECT_NE(chars(a), chars(b));
    EXPECT_EQ(a, L"hello");
    EXPECT_EQ(b, L"jello");
    EXPECT_EQ(c, L"hello");

    c += L"!";
    EXPECT_EQ(a, L"hello");
    EXPECT_EQ(c, L"hello!");
}

TEST(StringSharing, EmptyStringsShareOnlyTheStaticEmptyBuffer)
{
    String empty;
    String copy(empty);
    EXPECT_EQ(chars(empty), chars(String::_GetEmptyString()));
    EXPECT_EQ(chars(copy), chars(String::_GetEmptyString()));
    EXPECT_EQ(copy.GetLength(), 0);

    String assigned(L"x");
    assigned = empty;
    EXPECT_TRUE(assigned.IsEmpty());
    EXPECT_STREQ(static_cast<char const *>(empty), "");
}

TEST(StringSharing, LockedBufferGetsNoSecondOwnerUntilUnlocked)
{
    String a(L"locked text");
    wchar_t *p = a.LockBuffer();
    ASSERT_NE(p, nullptr);
    String copy(a);
    String assigned;
    assigned = a;
    EXPECT_NE(chars(copy), chars(a));
    EXPECT_NE(chars(assigned), chars(a));
    EXPECT_EQ(copy, L"locked text");

    // Assigning into a locked String copies the text into its own block.
    String other(L"short");
    a = other;
    EXPECT_EQ(chars(a), p);
    EXPECT_EQ(a, L"short");

    a.UnlockBuffer();
    String shared(a);
    EXPECT_EQ(chars(shared), chars(a));
}

TEST(StringSharing, EmptyKeepsTheBlockOfALockedBufferOnly)
{
    String locked(L"abc");
    wchar_t *p = locked.LockBuffer();
    locked.Empty();
    EXPECT_EQ(chars(locked), p);
    EXPECT_EQ(locked.GetLength(), 0);
    locked.UnlockBuffer();

    String normal(L"abc");
    normal.Empty();
    EXPECT_EQ(chars(normal), chars(String::_GetEmptyString()));
}

TEST(StringSharing, SharedCopiesSurviveDestructionOnOtherThreads)
{
    String source(L"shared between threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&source] {
            for (int i = 0; i < 2000; ++i) {
                String copy(source);
                String again = copy;
                ASSERT_EQ(again.GetLength(), 22);
            }
        });
    }
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(source, L"shared between threads");
}

// ---- buffer access ------------------------------------------------------------

TEST(StringBuffer, GetBufferAndReleaseBuffer)
{
    String s(L"ab");
    String shared(s);
    wchar_t *p = s.GetBuffer(10);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(chars(s), chars(shared)); // writing needs a private buffer
    EXPECT_EQ(s.GetLength(), 2);
    EXPECT_GE(s.GetAllocLength(), 10);
    std::wcscpy(p, L"abcdefgh");
    s.ReleaseBuffer();
    EXPECT_EQ(s, L"abcdefgh");
    EXPECT_EQ(shared, L"ab");

    s.GetBuffer(0);
    s.ReleaseBuffer(3);
    EXPECT_EQ(s, L"abc");

    // A length beyond the capacity is never trusted.
    s.GetBuffer(4)[0] = L'z';
    s.ReleaseBuffer(1 << 20);
    EXPECT_LE(s.GetLength(), s.GetAllocLength());
    EXPECT_EQ(s, L"zbc");
}

TEST(StringBuffer, GetBufferSetLengthAndFreeExtra)
{
    String s;
    wchar_t *p = s.GetBufferSetLength(3);
    ASSERT_NE(p, nullptr);
    p[0] = L'x', p[1] = L'y', p[2] = L'z';
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s, L"xyz");

    s.GetBuffer(50);
    EXPECT_GE(s.GetAllocLength(), 50);
    s.FreeExtra();
    EXPECT_EQ(s.GetAllocLength(), 3);
    EXPECT_EQ(s, L"xyz");
}

// ---- construction and conversion ------------------------------------------------

TEST(StringConvert, ConstructorsFromEveryKindOfText)
{
    EXPECT_EQ(String(L"abc", 2), L"ab");
    EXPECT_EQ(String(L'x', 3), L"xxx");
    EXPECT_TRUE(String(L'x', 0).IsEmpty());
    EXPECT_TRUE(String(L'x', -2).IsEmpty());
    EXPECT_TRUE(String(static_cast<wchar_t const *>(nullptr)).IsEmpty());
    EXPECT_TRUE(String(static_cast<char const *>(nullptr)).IsEmpty());
    EXPECT_TRUE(String("").IsEmpty());
    EXPECT_EQ(String("narrow"), L"narrow");
    EXPECT_EQ(String("narrow", 3), L"nar");
    EXPECT_EQ(String(reinterpret_cast<unsigned char const *>("u8")), L"u8");
    // Small pointer values name string resources, of which there are none.
    EXPECT_TRUE(String(reinterpret_cast<wchar_t const *>(uintptr_t(101))).IsEmpty());
}

TEST(StringConvert, NarrowTextIsUtf8BothWays)
{
    String s("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x8E\xAE");
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(s[2], L'\u00FC');
    EXPECT_EQ(s[5], L'\u20AC');
    EXPECT_EQ(s[7], wchar_t(0x1F3AE));
    EXPECT_STREQ(static_cast<char const *>(s), "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x8E\xAE");

    // Assigning a String its own narrow copy reads the copy before it goes.
    s = static_cast<char const *>(s);
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(s[7], wchar_t(0x1F3AE));

    // A byte count that cuts a sequence takes the converted count as length.
    EXPECT_EQ(String("\xC3\xBC\xC3\xBC", 2).GetLength(), 1);
}

TEST(StringConvert, BytesThatAreNotUtf8SurviveARoundTrip)
{
    char const *latin1 = "/roms/caf\xE9 \xFF\x80.nes";
    String s(latin1);
    EXPECT_STREQ(static_cast<char const *>(s), latin1);

    // Each byte of a sequence that is not UTF-8 is one character of its own.
    struct Case {
        char const *bytes;
        int length;
    } const cases[] = {
        {"\xC0\xAF", 2},         // overlong '/'
        {"\xED\xA0\x80", 3},     // an encoded surrogate
        {"\xF4\x90\x80\x80", 4}, // beyond U+10FFFF
        {"a\xE2\x82", 3},        // cut short at the end
        {"\x80x", 2},            // a lone continuation byte
    };
    for (auto const &c : cases) {
        String raw(c.bytes);
        EXPECT_EQ(raw.GetLength(), c.length) << c.bytes;
        EXPECT_STREQ(static_cast<char const *>(raw), c.bytes);
    }

    // Code units UTF-8 cannot carry come out as U+FFFD.
    String bad;
    bad += wchar_t(0xD800);
    EXPECT_STREQ(static_cast<char const *>(bad), "\xEF\xBF\xBD");
}

TEST(StringConvert, CharAssignmentWidensByValue)
{
    String s;
    s = 'A';
    s += char(0xE9);
    EXPECT_EQ(s.GetLength(), 2);
    EXPECT_EQ(s[1], wchar_t(0xE9));
    s = "";
    EXPECT_TRUE(s.IsEmpty());
    s.Append(-42);
    EXPECT_EQ(s, L"-42");
}

// ---- operators -------------------------------------------------------------------

TEST(StringOperators, ConcatenationAndComparison)
{
    String a(L"ab"), b(L"cd");
    EXPECT_EQ(a + b, L"abcd");
    EXPECT_EQ(a + L"x", L"abx");
    EXPECT_EQ(L"x" + a, L"xab");
    EXPECT_EQ(a + L'!', L"ab!");
    EXPECT_EQ(L'!' + a, L"!ab");
    EXPECT_EQ((a + b).GetAllocLength(), 4);

    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > L"ab");
    EXPECT_TRUE(L"ab" <= a);
    EXPECT_TRUE(a >= L"aa");
    EXPECT_TRUE(a != b);
    EXPECT_LT(a.Compare(L"b"), 0);
    EXPECT_EQ(String(L"ABC").CompareNoCase(L"abc"), 0);
    // Without a locale's order every text collates as equal, and the
    // argument is never read (a null one included).
    for (wchar_t const *text : {L"zzz", L"ab", L"AB", L"", static_cast<wchar_t const *>(nullptr)}) {
        EXPECT_EQ(a.Collate(text), 0);
        EXPECT_EQ(a.CollateNoCase(text), 0);
    }

    String self(L"xy");
    self += self;
    EXPECT_EQ(self, L"xyxy");
}

// ---- search and extraction ----------------------------------------------------------

TEST(StringSearch, FindTable)
{
    struct Case {
        wchar_t const *text, *sub;
        int start, expected;
    } const cases[] = {
        {L"abc", L"bc", 0, 1},
        {L"abc", L"bc", 3, -1},
        {L"abc", L"", 3, 3},
        {L"abc", L"", 4, -1},
        {L"abcabc", L"c", 3, 5},
        {L"abc", L"x", 0, -1},
    };
    for (auto const &c : cases)
        EXPECT_EQ(String(c.text).Find(c.sub, c.start), c.expected) << "find " << c.start;

    String s(L"a/b/c");
    EXPECT_EQ(s.Find(L'/'), 1);
    EXPECT_EQ(s.Find(L'/', 2), 3);
    EXPECT_EQ(s.Find(L'/', 5), -1);
    EXPECT_EQ(s.ReverseFind(L'/'), 3);
    EXPECT_EQ(s.FindOneOf(L"cb"), 2);
    EXPECT_EQ(s.FindOneOf(L"xyz"), -1);
}

TEST(StringSearch, ExtractionTable)
{
    String abc(L"abc");
    struct Case {
        String result;
        wchar_t const *expected;
    } const cases[] = {
        {abc.Mid(10, 2), L""},  {abc.Mid(1), L"bc"},     {abc.Mid(-1, 2), L"ab"},
        {abc.Mid(1, -4), L""},  {abc.Mid(1, 99), L"bc"}, {abc.Left(-1), L""},
        {abc.Left(2), L"ab"},   {abc.Right(99), L"abc"}, {abc.Right(1), L"c"},
        {abc.Right(0), L""},    {abc.SpanIncluding(L"ba"), L"ab"},
        {abc.SpanExcluding(L"c"), L"ab"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].result, cases[i].expected) << "case " << i;
}

// ---- modification --------------------------------------------------------------------

TEST(StringEdit, DeleteInsertRemoveReplace)
{
    String s(L"abcdef");
    EXPECT_EQ(s.Delete(2, 3), 6);
    EXPECT_EQ(s, L"abf");
    EXPECT_EQ(s.Delete(5, 1), 3);
    EXPECT_EQ(s.Delete(-3, 1), 3);
    EXPECT_EQ(s, L"bf");
    EXPECT_EQ(s.Delete(1, 100), 2);
    EXPECT_EQ(s, L"b");

    String t(L"ac");
    EXPECT_EQ(t.Insert(1, L'b'), 3);
    EXPECT_EQ(t.Insert(-5, L"<"), 4);
    EXPECT_EQ(t.Insert(99, L">"), 5);
    EXPECT_EQ(t.Insert(2, L""), 5);
    EXPECT_EQ(t, L"<abc>");
    EXPECT_EQ(t.Insert(0, static_cast<wchar_t const *>(t)), 10); // its own text
    EXPECT_EQ(t, L"<abc><abc>");

    String r(L"ababa");
    String before(r);
    EXPECT_EQ(r.Replace(L"ab", L"x"), 2);
    EXPECT_EQ(r, L"xxa");
    EXPECT_EQ(before, L"ababa");
    EXPECT_EQ(r.Replace(L"", L"y"), 0);
    EXPECT_EQ(r.Replace(L"x", nullptr), 2);
    EXPECT_EQ(r, L"a");
    EXPECT_EQ(r.Replace(L'a', L'a'), 0);
    EXPECT_EQ(r.Replace(L'a', L'q'), 1);
    EXPECT_EQ(r, L"q");

    String grow(L"a.b.c");
    EXPECT_EQ(grow.Replace(L".", L"--"), 2);
    EXPECT_EQ(grow, L"a--b--c");
    EXPECT_EQ(grow.Remove(L'-'), 4);
    EXPECT_EQ(grow, L"abc");
}

TEST(StringEdit, CaseReverseAndTrim)
{
    String s(L"MiXeD");
    String keep(s);
    s.MakeUpper();
    EXPECT_EQ(s, L"MIXED");
    s.MakeLower();
    EXPECT_EQ(s, L"mixed");
    s.MakeReverse();
    EXPECT_EQ(s, L"dexim");
    EXPECT_EQ(keep, L"MiXeD");

    struct Case {
        void (*trim)(String &);
        wchar_t const *in, *out;
    } const cases[] = {
        {[](String &x) { x.TrimLeft(); }, L" \t a b \n", L"a b \n"},
        {[](String &x) { x.TrimRight(); }, L" a b \t\n", L" a b"},
        {[](String &x) { x.TrimLeft(L'x'); }, L"xxaxx", L"axx"},
        {[](String &x) { x.TrimRight(L'x'); }, L"xxaxx", L"xxa"},
        {[](String &x) { x.TrimLeft(L"xy"); }, L"xyxaxy", L"axy"},
        {[](String &x) { x.TrimRight(L"xy"); }, L"xyxaxy", L"xyxa"},
        {[](String &x) { x.TrimLeft(L""); }, L"  a", L"  a"},
        {[](String &x) { x.TrimRight(L"a"); }, L"aaa", L""},
    };
    for (auto const &c : cases) {
        String x(c.in);
        c.trim(x);
        EXPECT_EQ(x, c.out);
    }
}

} // namespace Zorvan::Test
