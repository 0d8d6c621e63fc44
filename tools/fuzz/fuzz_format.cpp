// The formatter: printf-style Format and message-style FormatMessageW over
// formats built from the input. Each conversion is given an argument of the
// type it takes (a mismatch would be the caller's fault, not the
// formatter's), so what is tested is the parsing of flags, widths,
// precisions and size prefixes, the padding and the measuring of results.
#include "common/zorvan/String.h"
#include "tools/fuzz/FuzzSupport.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace {

enum class Arg { None, Int, Long, Double, LongDouble, Wide, Narrow, Pointer };

struct Conversion {
    const wchar_t *text;
    Arg arg;
};

constexpr Conversion Conversions[] = {
    {L"d", Arg::Int},      {L"i", Arg::Int},        {L"u", Arg::Int},       {L"o", Arg::Int},
    {L"x", Arg::Int},      {L"X", Arg::Int},        {L"hd", Arg::Int},      {L"hhx", Arg::Int},
    {L"ld", Arg::Long},    {L"lu", Arg::Long},      {L"llx", Arg::Long},    {L"I64d", Arg::Long},
    {L"I64X", Arg::Long},  {L"jd", Arg::Long},      {L"zu", Arg::Long},     {L"td", Arg::Long},
    {L"e", Arg::Double},   {L"E", Arg::Double},     {L"f", Arg::Double},    {L"g", Arg::Double},
    {L"G", Arg::Double},   {L"a", Arg::Double},     {L"A", Arg::Double},    {L"Lf", Arg::LongDouble},
    {L"Lg", Arg::LongDouble}, {L"c", Arg::Int},     {L"C", Arg::Int},       {L"lc", Arg::Int},
    {L"hc", Arg::Int},     {L"lC", Arg::Int},       {L"s", Arg::Wide},      {L"ls", Arg::Wide},
    {L"lS", Arg::Wide},    {L"S", Arg::Narrow},     {L"hs", Arg::Narrow},   {L"hS", Arg::Narrow},
    {L"p", Arg::Pointer},  {L"%", Arg::None},       {L"y", Arg::None},      {L"", Arg::None},
    {L"Fd", Arg::Int},     {L"Nx", Arg::Int},
};
constexpr size_t ConversionCount = sizeof Conversions / sizeof Conversions[0];

// Text without '%' (and without digits and '!' for message formats, where
// they would change the insert that comes before).
std::wstring PlainText(Fuzz::Input &in, size_t length, bool message)
{
    std::wstring text;
    for (size_t i = 0; i < length && !in.empty(); ++i) {
        wchar_t c = wchar_t(in.u8());
        if (c == 0 || c == L'%' || (message && ((c >= L'0' && c <= L'9') || c == L'!')))
            c = L'.';
        text.push_back(c >= 0x80 ? wchar_t(0x100 + c) : c);
    }
    return text;
}

// Flags, width and precision of one conversion; star says the width comes
// from an argument.
std::wstring SpecPrefix(Fuzz::Input &in, bool &star)
{
    static const wchar_t flags[] = L"-+ #0";
    std::wstring spec;
    uint8_t bits = in.u8();
    for (int i = 0; i < 5; ++i)
        if (bits & (1 << i))
            spec.push_back(flags[i]);
    star = bits & 0x20;
    if (star)
        spec.push_back(L'*');
    else if (bits & 0x40)
        spec += std::to_wstring(in.u8() % 300);
    if (bits & 0x80) {
        spec.push_back(L'.');
        uint8_t p = in.u8();
        if (p != 0xFF)
            spec += std::to_wstring(p % 120);
    }
    return spec;
}

template <typename... Extra>
void FormatWith(const std::wstring &fmt, Arg arg, Fuzz::Input &in, Extra... extra)
{
    Zorvan::String out;
    const std::wstring wideText = PlainText(in, in.u8() % 16, false);
    const std::string narrowText = in.bytes(in.u8() % 16);
    const uint64_t number = uint64_t(in.u32()) << 32 | in.u32();
    int ok = 1;
    switch (arg) {
    case Arg::None: ok = out.Format(fmt.c_str(), extra...); break;
    case Arg::Int: ok = out.Format(fmt.c_str(), extra..., int(number)); break;
    case Arg::Long: ok = out.Format(fmt.c_str(), extra..., (long long)number); break;
    case Arg::Double: {
        double d;
        std::memcpy(&d, &number, sizeof d);
        ok = out.Format(fmt.c_str(), extra..., d);
        break;
    }
    case Arg::LongDouble: ok = out.Format(fmt.c_str(), extra..., (long double)(int64_t)number / 7); break;
    case Arg::Wide: ok = out.Format(fmt.c_str(), extra..., wideText.c_str()); break;
    case Arg::Narrow: ok = out.Format(fmt.c_str(), extra..., narrowText.c_str()); break;
    case Arg::Pointer: ok = out.Format(fmt.c_str(), extra..., reinterpret_cast<void *>(number)); break;
    }
    FUZZ_CHECK(ok == 1);
}

void OneFormat(Fuzz::Input &in)
{
    std::wstring fmt = PlainText(in, in.u8() % 8, false);
    fmt.push_back(L'%');
    bool star = false;
    fmt += SpecPrefix(in, star);
    const Conversion &c = Conversions[in.u8() % ConversionCount];
    fmt += c.text;
    // After a lone '%' the text would turn into the conversion.
    if (*c.text)
        fmt += PlainText(in, in.u8() % 8, false);
    if (star)
        FormatWith(fmt, c.arg, in, int(int8_t(in.u8())) * 3);
    else
        FormatWith(fmt, c.arg, in);
}

// Inserts 1 and 2 are wide strings, 3 an integer.
void OneMessage(Fuzz::Input &in)
{
    static const wchar_t *const stringSpecs[] = {L"", L"!s!", L"!10s!", L"!-8.3s!", L"!ls!"};
    static const wchar_t *const intSpecs[] = {L"!d!", L"!5x!", L"!-07u!", L"!+d!", L"!#o!"};
    static const wchar_t *const escapes[] = {L"%%", L"%n", L"%t", L"%r", L"%.", L"%!", L"%0", L"%"};
    std::wstring fmt;
    for (int pieces = in.u8() % 8; pieces > 0 && !in.empty(); --pieces) {
        uint8_t kind = in.u8();
        switch (kind % 5) {
        case 0: fmt += PlainText(in, kind / 5 % 10, true); break;
        case 1: fmt += L"%1"; fmt += stringSpecs[kind / 5 % 5]; break;
        case 2: fmt += L"%2"; fmt += stringSpecs[kind / 5 % 5]; break;
        case 3: fmt += L"%3"; fmt += intSpecs[kind / 5 % 5]; break;
        default: fmt += escapes[kind / 5 % 8]; break;
        }
    }
    const std::wstring first = PlainText(in, in.u8() % 12, false);
    const std::wstring second = PlainText(in, in.u8() % 12, false);
    const int number = int(in.u32());
    Zorvan::String out;
    FUZZ_CHECK(out.FormatMessageW(fmt.c_str(), first.c_str(), second.c_str(), number) == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    while (!in.empty()) {
        if (in.u8() & 1)
            OneMessage(in);
        else
            OneFormat(in);
    }
    return 0;
}
