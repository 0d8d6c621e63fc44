// Serial-EEPROM command streams: the first byte picks the chip, every
// further byte is a value written to its control lines (and a read of its
// data line). Memory is exactly the chip's size, so a stray store shows.
#include "modules/belcrest/chips/SerialEeprom.h"
#include "tools/fuzz/FuzzSupport.h"

#include <vector>

using namespace Belcrest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const unsigned options = in.u8() & 7;
    std::vector<uint8_t> memory(EepromSize(options), 0x5A);
    SerialEeprom eeprom;
    EepromReset(eeprom, memory.data(), options);
    while (!in.empty()) {
        EepromWriteLines(eeprom, in.u8());
        FUZZ_CHECK((EepromReadBit(eeprom) & ~1u) == 2);
    }
    return 0;
}
