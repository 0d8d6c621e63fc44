#include "common/zorvan/TextCompare.h"

#include <cstring>

namespace Zorvan {

namespace {

// Locale-free so that comparisons never change with the user's settings.
unsigned char fold(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}

int sign(size_t a, size_t b) { return a > b ? 1 : a < b ? -1 : 0; }

int compareFolded(char const *a, char const *b, size_t limit)
{
    a = a ? a : "";
    b = b ? b : "";
    size_t lenA = std::strlen(a), lenB = std::strlen(b);
    size_t n = lenA < lenB ? lenA : lenB;
    if (limit < n)
        n = limit;
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = fold(a[i]), cb = fold(b[i]);
        if (ca != cb)
            return ca > cb ? 1 : -1;
    }
    return sign(lenA, lenB);
}

} // namespace

uint32_t hash(char const *text)
{
    if (!text)
        return 0;
    uint32_t h = 0, n = 0;
    for (auto const *p = reinterpret_cast<unsigned char const *>(text); *p; ++p, ++n) {
        h += uint32_t(*p) * 0x20001u;
        h ^= h >> 2;
    }
    h += n * 0x20001u;
    return h ^ (h >> 2);
}

int stricmp(char const *a, char const *b) { return compareFolded(a, b, SIZE_MAX); }

int strnicmp(char const *a, char const *b, size_t n) { return compareFolded(a, b, n); }

} // namespace Zorvan
