// UTF-8 conversion: any bytes decode and encode back to themselves (bytes
// that are not UTF-8 travel as 0xDC80 + byte), the measured lengths are the
// lengths written, and any wide text encodes within its measured length.
#include "common/zorvan/String.h"
#include "common/zorvan/Utf8.h"
#include "tools/fuzz/FuzzSupport.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    const size_t wideLength = Zorvan::utf8DecodedLength(text, size);
    FUZZ_CHECK(wideLength <= size);
    std::vector<wchar_t> wide(wideLength + 1);
    FUZZ_CHECK(Zorvan::utf8Decode(text, size, wide.data()) == wideLength);
    const size_t byteLength = Zorvan::utf8EncodedLength(wide.data(), wideLength);
    std::vector<char> back(byteLength + 1);
    FUZZ_CHECK(Zorvan::utf8Encode(wide.data(), wideLength, back.data()) == byteLength);
    FUZZ_CHECK(byteLength == size && std::memcmp(back.data(), text, size) == 0);

    // The input read as raw 32-bit code units, valid or not.
    std::vector<wchar_t> units(size / 4 + 1);
    std::memcpy(units.data(), data, size / 4 * 4);
    units.pop_back();
    const size_t encodedLength = Zorvan::utf8EncodedLength(units.data(), units.size());
    std::vector<char> encoded(encodedLength + 1);
    FUZZ_CHECK(Zorvan::utf8Encode(units.data(), units.size(), encoded.data()) == encodedLength);

    // And through String, the way file names go in and out.
    Zorvan::String s(text, int(size));
    FUZZ_CHECK(size_t(s.GetLength()) == wideLength);
    return 0;
}
