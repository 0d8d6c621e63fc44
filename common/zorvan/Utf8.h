// UTF-8 <-> UTF-32 conversion for the narrow side of String.
//
// Invalid input bytes become the code units 0xDC80 + byte (and those code
// units turn back into the same bytes), so text that is not UTF-8, such as
// an old file name, survives a round trip unchanged. Other code units that
// UTF-8 cannot carry (surrogates, values above 0x10FFFF) become U+FFFD.
#pragma once

#include <cstddef>

namespace Zorvan {

// Number of wide characters that decoding nBytes bytes gives.
size_t utf8DecodedLength(char const *text, size_t nBytes);
// Decodes nBytes bytes into out, which has room for
// utf8DecodedLength(text, nBytes) characters; returns the count written.
size_t utf8Decode(char const *text, size_t nBytes, wchar_t *out);

// Number of bytes that encoding n wide characters gives.
size_t utf8EncodedLength(wchar_t const *text, size_t n);
// Encodes n wide characters into out, which has room for
// utf8EncodedLength(text, n) bytes; returns the count written.
size_t utf8Encode(wchar_t const *text, size_t n, char *out);

} // namespace Zorvan
