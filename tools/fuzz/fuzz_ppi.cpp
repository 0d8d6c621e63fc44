// The PPI's state image, then port traffic from the rest of the input: a
// refused image leaves the chip untouched, an accepted one writes back the
// same ten bytes.
#include "modules/belcrest/chips/Ppi.h"
#include "tools/fuzz/FuzzSupport.h"

#include <vector>

using namespace Belcrest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Ppi ppi;
    PpiReset(ppi);
    ppi.inB = 0x42;
    if (!Fuzz::ReadImageChecked(ppi, data, size, PpiImageSize, PpiReadImage, PpiWriteImage))
        return 0;

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
