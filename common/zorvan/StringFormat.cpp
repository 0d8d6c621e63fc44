// Format, FormatV and FormatMessageW of String.
//
// Wide format strings keep their old meanings: %s is a wide string and %S a
// narrow one, %c a wide character and %C a narrow one, whatever the C
// library's own wide printf does with them. Strings and characters are
// formatted here; numbers go through snprintf with a translated narrow
// conversion, measured first, so no result is ever cut or overrun.
#include "common/zorvan/String.h"

#include "common/zorvan/Utf8.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <sys/types.h>

namespace Zorvan {

namespace {

// va_list is an array type on some ABIs; a struct around it passes cleanly
// by reference so every helper consumes the same argument list.
struct Args {
    va_list ap;
};

enum class Size { None, Char, Short, Long, LongLong, IntMax, SizeT, PtrDiff, LongDouble, Narrow, Wide };

struct Spec {
    std::string flags;
    int width = -1;     // -1: none
    int precision = -1; // -1: none
    Size size = Size::None;
    wchar_t conv = 0;
};

// Reads a decimal number; false when it does not fit an int.
bool readNumber(wchar_t const *&p, int &value)
{
    long long v = 0;
    while (*p >= L'0' && *p <= L'9') {
        v = v * 10 + (*p++ - L'0');
        if (v > INT_MAX)
            return false;
    }
    value = int(v);
    return true;
}

void appendUtf8(std::wstring &out, char const *text, size_t n)
{
    size_t at = out.size();
    out.resize(at + utf8DecodedLength(text, n));
    utf8Decode(text, n, out.data() + at);
}

// Pads a piece of text to the width: blanks on the left, or on the right
// with the '-' flag.
void appendPadded(std::wstring &out, wchar_t const *text, size_t n, Spec const &spec)
{
    size_t pad = spec.width > 0 && size_t(spec.width) > n ? size_t(spec.width) - n : 0;
    bool left = spec.flags.find('-') != std::string::npos;
    if (!left)
        out.append(pad, L' ');
    out.append(text, n);
    if (left)
        out.append(pad, L' ');
}

// Formats one value through snprintf, measuring the text first.
template <typename T>
bool appendNumber(std::wstring &out, Spec const &spec, char const *lengthModifier, T value)
{
    std::string fmt(1, '%');
    fmt += spec.flags;
    if (spec.width >= 0)
        fmt += std::to_string(spec.width);
    if (spec.precision >= 0) {
        fmt += '.';
        fmt += std::to_string(spec.precision);
    }
    fmt += lengthModifier;
    fmt += char(spec.conv);
    int n = std::snprintf(nullptr, 0, fmt.c_str(), value);
    if (n < 0)
        return false;
    std::string text(size_t(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), fmt.c_str(), value);
    appendUtf8(out, text.data(), size_t(n));
    return true;
}

// One integer argument of the signed type S or the unsigned type U,
// by the conversion.
template <typename S, typename U>
bool appendSized(std::wstring &out, Spec const &spec, char const *lengthModifier, Args &args)
{
    if (spec.conv == L'd' || spec.conv == L'i')
        return appendNumber(out, spec, lengthModifier, va_arg(args.ap, S));
    return appendNumber(out, spec, lengthModifier, va_arg(args.ap, U));
}

bool appendInteger(std::wstring &out, Spec const &spec, Args &args)
{
    switch (spec.size) {
    case Size::Long: return appendSized<long, unsigned long>(out, spec, "l", args);
    case Size::LongLong: return appendSized<long long, unsigned long long>(out, spec, "ll", args);
    case Size::IntMax: return appendSized<intmax_t, uintmax_t>(out, spec, "j", args);
    case Size::SizeT: return appendSized<ssize_t, size_t>(out, spec, "z", args);
    case Size::PtrDiff: return appendSized<ptrdiff_t, ptrdiff_t>(out, spec, "t", args);
    // Narrower arguments arrive promoted to int.
    case Size::Char: return appendSized<int, unsigned>(out, spec, "hh", args);
    case Size::Short: return appendSized<int, unsigned>(out, spec, "h", args);
    default: return appendSized<int, unsigned>(out, spec, "", args);
    }
}

void appendWideString(std::wstring &out, Spec const &spec, wchar_t const *text)
{
    if (!text)
        text = L"(null)";
    size_t n = spec.precision >= 0 ? ::wcsnlen(text, size_t(spec.precision)) : std::wcslen(text);
    appendPadded(out, text, n, spec);
}

void appendNarrowString(std::wstring &out, Spec const &spec, char const *text)
{
    if (!text)
        text = "(null)";
    size_t bytes = spec.precision >= 0 ? ::strnlen(text, size_t(spec.precision)) : std::strlen(text);
    std::wstring wide;
    appendUtf8(wide, text, bytes);
    appendPadded(out, wide.data(), wide.size(), spec);
}

// One conversion after its '%'; p is left behind it. False when memory runs
// out or a width cannot be represented.
bool convertOne(std::wstring &out, wchar_t const *&p, Args &args)
{
    wchar_t const *begin = p;
    Spec spec;
    for (;; ++p) {
        if (*p == L'-' || *p == L'+' || *p == L' ' || *p == L'#' || *p == L'0')
            spec.flags += char(*p);
        else
            break;
    }
    if (*p == L'*') {
        ++p;
        spec.width = va_arg(args.ap, int);
        if (spec.width < 0) {
            spec.flags += '-';
            spec.width = spec.width == INT_MIN ? INT_MAX : -spec.width;
        }
    } else if (*p >= L'0' && *p <= L'9' && !readNumber(p, spec.width)) {
        return false;
    }
    if (*p == L'.') {
        ++p;
        if (*p == L'*') {
            ++p;
            spec.precision = va_arg(args.ap, int);
            if (spec.precision < 0)
                spec.precision = -1;
        } else if (!readNumber(p, spec.precision)) {
            return false;
        }
    }
    for (bool more = true; more;) {
        switch (*p) {
        case L'I':
            if (p[1] == L'6' && p[2] == L'4') {
                spec.size = Size::LongLong;
                p += 3;
            } else {
                more = false;
            }
            break;
        case L'h':
            spec.size = spec.size == Size::Short ? Size::Char : Size::Short;
            ++p;
            break;
        case L'l':
            spec.size = spec.size == Size::Long ? Size::LongLong : Size::Long;
            ++p;
            break;
        case L'j': spec.size = Size::IntMax; ++p; break;
        case L'z': spec.size = Size::SizeT; ++p; break;
        case L't': spec.size = Size::PtrDiff; ++p; break;
        case L'L': spec.size = Size::LongDouble; ++p; break;
        case L'F':
        case L'N': ++p; break; // old pointer-size prefixes: no meaning here
        default: more = false; break;
        }
    }
    spec.conv = *p;
    if (spec.conv == 0)
        return true; // a lone '%' at the end writes nothing
    ++p;
    bool narrow = spec.size == Size::Short || spec.size == Size::Char;
    bool wide = spec.size == Size::Long;
    switch (spec.conv) {
    case L'c':
    case L'C': {
        wchar_t ch = wchar_t(va_arg(args.ap, int));
        if (narrow || (spec.conv == L'C' && !wide))
            ch = wchar_t(static_cast<unsigned char>(ch));
        appendPadded(out, &ch, 1, spec);
        return true;
    }
    case L's':
    case L'S':
        if (narrow || (spec.conv == L'S' && !wide))
            appendNarrowString(out, spec, va_arg(args.ap, char const *));
        else
            appendWideString(out, spec, va_arg(args.ap, wchar_t const *));
        return true;
    case L'd': case L'i': case L'u': case L'o': case L'x': case L'X':
        return appendInteger(out, spec, args);
    case L'e': case L'E': case L'f': case L'g': case L'G': case L'a': case L'A':
        if (spec.size == Size::LongDouble)
            return appendNumber(out, spec, "L", va_arg(args.ap, long double));
        return appendNumber(out, spec, "", va_arg(args.ap, double));
    case L'p':
        spec.size = Size::None;
        return appendNumber(out, spec, "", va_arg(args.ap, void *));
    case L'n':
        if (int *count = va_arg(args.ap, int *))
            *count = int(out.size());
        return true;
    default:
        // Not a conversion: the text stands as written.
        out.push_back(L'%');
        out.append(begin, size_t(p - begin));
        return true;
    }
}

bool formatWide(std::wstring &out, wchar_t const *fmt, Args &args)
{
    try {
        for (wchar_t const *p = fmt; *p;) {
            if (*p != L'%') {
                wchar_t const *run = p;
                while (*p && *p != L'%')
                    ++p;
                out.append(run, size_t(p - run));
                continue;
            }
            ++p;
            if (*p == L'%') {
                out.push_back(L'%');
                ++p;
                continue;
            }
            if (!convertOne(out, p, args))
                return false;
        }
    } catch (std::bad_alloc const &) {
        return false;
    } catch (std::length_error const &) {
        return false;
    }
    return out.size() <= size_t(INT_MAX / 8);
}

} // namespace

int String::FormatV(wchar_t const *fmt, va_list args)
{
    if (!fmt)
        return 0;
    Args copy;
    va_copy(copy.ap, args);
    std::wstring text;
    bool ok = formatWide(text, fmt, copy);
    va_end(copy.ap);
    if (!ok)
        return 0;
    return AssignCopy(int(text.size()), text.data()) ? 1 : 0;
}

int String::Format(wchar_t const *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    int result = FormatV(fmt, args);
    va_end(args);
    return result;
}

int String::Format(unsigned int, ...)
{
    Empty();
    return 0;
}

namespace {

constexpr int MaxInsert = 99;

// Reads an insert number of one or two digits after '%'; 0 when none.
int readInsertNumber(wchar_t const *&p)
{
    if (*p < L'1' || *p > L'9')
        return 0;
    int n = *p++ - L'0';
    if (*p >= L'0' && *p <= L'9')
        n = n * 10 + (*p++ - L'0');
    return n;
}

// The printf conversion of an insert: the text between '!' marks, or "s".
std::wstring readInsertSpec(wchar_t const *&p)
{
    if (*p != L'!')
        return L"s";
    wchar_t const *end = std::wcschr(p + 1, L'!');
    if (!end)
        return L"s";
    std::wstring spec(p + 1, size_t(end - p - 1));
    p = end + 1;
    return spec;
}

bool formatMessage(std::wstring &out, wchar_t const *fmt, Args &args)
{
    // First pass: the conversion of each insert, so the arguments can be
    // taken in the order of their numbers.
    std::wstring specs[MaxInsert + 1];
    int count = 0;
    for (wchar_t const *p = fmt; *p;) {
        if (*p++ != L'%')
            continue;
        int n = readInsertNumber(p);
        if (n == 0) {
            if (*p)
                ++p;
            continue;
        }
        std::wstring spec = readInsertSpec(p);
        if (specs[n].empty())
            specs[n] = spec;
        count = std::max(count, n);
    }
    std::wstring inserts[MaxInsert + 1];
    for (int i = 1; i <= count; ++i) {
        std::wstring spec = specs[i].empty() ? L"s" : specs[i];
        wchar_t const *q = spec.c_str();
        if (!convertOne(inserts[i], q, args))
            return false;
    }
    // Second pass: the text with the inserts and escapes put in.
    for (wchar_t const *p = fmt; *p;) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        ++p;
        if (int n = readInsertNumber(p)) {
            readInsertSpec(p);
            out += inserts[n];
            continue;
        }
        switch (wchar_t c = *p) {
        case 0: return true;
        case L'0': return true; // ends the text
        case L'n': out.push_back(L'\n'); break;
        case L'r': out.push_back(L'\r'); break;
        case L't': out.push_back(L'\t'); break;
        default: out.push_back(c); break; // %%, %., %! and the rest stand for themselves
        }
        ++p;
    }
    return true;
}

} // namespace

int String::FormatMessageW(wchar_t const *fmt, ...)
{
    std::wstring text;
    bool ok = fmt != nullptr;
    if (ok) {
        Args args;
        va_start(args.ap, fmt);
        try {
            ok = formatMessage(text, fmt, args);
        } catch (std::exception const &) {
            ok = false;
        }
        va_end(args.ap);
    }
    if (!ok || text.size() > size_t(INT_MAX / 8) || !AssignCopy(int(text.size()), text.data())) {
        Empty();
        return 0;
    }
    return 1;
}

int String::FormatMessageW(unsigned int, ...)
{
    Empty();
    return 0;
}

} // namespace Zorvan
