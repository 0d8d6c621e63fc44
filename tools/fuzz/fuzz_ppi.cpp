// The PPI's state image, then port traffic from the rest of the input: a
// refused image leaves the chip untouched, an accepted one writes back the
// same ten bytes.
#include "common/zorvan/ByteStream.h"
#include "modules/belcrest/chips/Ppi.h"
#include "tools/fuzz/FuzzSupport.h"

#include <vector>

using namespace Belcrest;

namespace {

std::vector<uint8_t> ImageOf(const Ppi &ppi)
{
    Zorvan::ByteWriter out;
    PpiWriteImage(ppi, out);
    return out.bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Ppi ppi;
    PpiReset(ppi);
    ppi.inB = 0x42;
    const std::vector<uint8_t> before = ImageOf(ppi);
    Zorvan::ByteReader in(data, size);
    if (!PpiReadImage(ppi, in)) {
        FUZZ_CHECK(ImageOf(ppi) == before);
        return 0;
    }
    FUZZ_CHECK(size >= PpiImageSize);
    FUZZ_CHECK(ImageOf(ppi) == std::vector<uint8_t>(data, data + PpiImageSize));

    Fuzz::Input rest(data + PpiImageSize, size - PpiImageSize);
    while (!rest.empty()) {
        const uint8_t op = rest.u8();
        if (op & 0x80)
            PpiWrite(ppi, op & 7, rest.u8());
        else
            PpiRead(ppi, op & 7);
    }
    return 0;
}
