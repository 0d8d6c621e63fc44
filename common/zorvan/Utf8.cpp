#include "common/zorvan/Utf8.h"

#include <cstdint>

namespace Zorvan {

namespace {

constexpr uint32_t EscapeBase = 0xDC80;
constexpr uint32_t Replacement = 0xFFFD;

// Decodes one sequence at text[0..avail); returns its length in bytes and the
// code point, or 0 when the first byte does not start a valid sequence.
size_t decodeOne(unsigned char const *p, size_t avail, uint32_t &cp)
{
    unsigned char c = p[0];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t len;
    uint32_t min;
    if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (len > avail)
        return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

size_t encodedSize(uint32_t cp)
{
    if (cp >= EscapeBase && cp <= EscapeBase + 0x7F)
        return 1; // an escaped raw byte
    if (cp < 0x80)
        return 1;
    if (cp < 0x800)
        return 2;
    if (cp < 0x10000 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 3; // U+FFFD for what cannot be encoded is 3 bytes too
    return 4;
}

} // namespace

size_t utf8DecodedLength(char const *text, size_t nBytes)
{
    auto const *p = reinterpret_cast<unsigned char const *>(text);
    size_t count = 0;
    for (size_t i = 0; i < nBytes; ++count) {
        uint32_t cp;
        size_t len = decodeOne(p + i, nBytes - i, cp);
        i += len ? len : 1;
    }
    return count;
}

size_t utf8Decode(char const *text, size_t nBytes, wchar_t *out)
{
    auto const *p = reinterpret_cast<unsigned char const *>(text);
    size_t count = 0;
    for (size_t i = 0; i < nBytes;) {
        uint32_t cp;
        size_t len = decodeOne(p + i, nBytes - i, cp);
        if (len == 0) {
            cp = p[i] < 0x80 ? p[i] : EscapeBase + (p[i] - 0x80);
            len = 1;
        }
        out[count++] = wchar_t(cp);
        i += len;
    }
    return count;
}

size_t utf8EncodedLength(wchar_t const *text, size_t n)
{
    size_t bytes = 0;
    for (size_t i = 0; i < n; ++i)
        bytes += encodedSize(uint32_t(text[i]));
    return bytes;
}

size_t utf8Encode(wchar_t const *text, size_t n, char *out)
{
    auto *o = reinterpret_cast<unsigned char *>(out);
    size_t k = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = uint32_t(text[i]);
        if (cp >= EscapeBase && cp <= EscapeBase + 0x7F) {
            o[k++] = uint8_t(0x80 + (cp - EscapeBase));
            continue;
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = Replacement;
        if (cp < 0x80) {
            o[k++] = uint8_t(cp);
        } else if (cp < 0x800) {
            o[k++] = uint8_t(0xC0 | (cp >> 6));
            o[k++] = uint8_t(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            o[k++] = uint8_t(0xE0 | (cp >> 12));
            o[k++] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
            o[k++] = uint8_t(0x80 | (cp & 0x3F));
        } else {
            o[k++] = uint8_t(0xF0 | (cp >> 18));
            o[k++] = uint8_t(0x80 | ((cp >> 12) & 0x3F));
            o[k++] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
            o[k++] = uint8_t(0x80 | (cp & 0x3F));
        }
    }
    return k;
}

} // namespace Zorvan
