// Narrow-text helpers: a string hash and case-blind comparison (ASCII
// letters fold to lower case; other bytes compare as they are).
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zorvan {

// h = (h + c * 0x20001) ^ (h >> 2) for each byte, then the same step with
// the byte count; the empty text hashes to 0.
uint32_t hash(char const *text);

// -1, 0 or 1; at the first differing character the greater one wins, else
// the longer text is greater. Null counts as empty.
int stricmp(char const *a, char const *b);

// As stricmp over at most n characters, except that texts agreeing over
// those characters are equal only when they have the same length: "ABC"
// against "abcd" with n = 3 gives -1, and n = 0 gives 0 only for texts of
// equal length.
int strnicmp(char const *a, char const *b, size_t n);

} // namespace Zorvan

using Zorvan::stricmp;
using Zorvan::strnicmp;
