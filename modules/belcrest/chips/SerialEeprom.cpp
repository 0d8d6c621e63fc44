#include "modules/belcrest/chips/SerialEeprom.h"

#include <cstring>

namespace Belcrest {

namespace {

constexpr uint8_t AddressWidths[4] = {7, 8, 9, 11};

unsigned MemoryBytes(const SerialEeprom &e)
{
    return (1u << e.addressBits) * (e.wordBits / 8u);
}

// The 16-bit image of the word at address (bytes high, low in memory).
unsigned ReadWord(const SerialEeprom &e, unsigned address)
{
    if (e.wordBits == 8)
        return e.data[address];
    return unsigned(e.data[2 * address]) << 8 | e.data[2 * address + 1];
}

void StoreWord(SerialEeprom &e, unsigned address, unsigned word)
{
    if (e.wordBits == 8) {
        e.data[address] = uint8_t(word);
    } else {
        e.data[2 * address] = uint8_t(word >> 8);
        e.data[2 * address + 1] = uint8_t(word);
    }
}

void RunCommand(SerialEeprom &e)
{
    const unsigned opcode = (e.shiftIn >> e.addressBits) & 3;
    const unsigned address = e.shiftIn & ((1u << e.addressBits) - 1);
    switch (opcode) {
    case 0:
        switch (address >> (e.addressBits - 2)) {
        case 0: // write disable
            e.writeEnabled = false;
            break;
        case 1: // write all
            if (e.writeEnabled)
                std::memset(e.data, 0x00, MemoryBytes(e));
            break;
        case 2: // erase all
            if (e.writeEnabled)
                std::memset(e.data, 0xFF, MemoryBytes(e));
            break;
        default: // write enable
            e.writeEnabled = true;
            break;
        }
        e.shiftIn = 0;
        break;
    case 1: // WRITE: the data word follows
        e.writePending = true;
        e.writeAddress = uint16_t(address);
        e.bitsLeft = e.wordBits;
        break;
    case 2: { // READ: a 0 bit, then the word MSB first, then ones
        e.reading = true;
        e.bitsLeft = uint8_t(e.wordBits + 1);
        e.shiftIn = address;
        const unsigned fill = 31 - e.wordBits;
        e.shiftOut = uint32_t(ReadWord(e, address)) << fill | ((1u << fill) - 1);
        break;
    }
    default: // ERASE
        if (e.writeEnabled)
            StoreWord(e, address, 0xFFFF);
        e.shiftIn = 0;
        break;
    }
}

} // namespace

unsigned EepromSize(unsigned options)
{
    const bool wide = options & 4;
    const unsigned bits = AddressWidths[options & 3] - (wide ? 1 : 0);
    return (1u << bits) * (wide ? 2 : 1);
}

void EepromReset(SerialEeprom &eeprom, uint8_t *data, unsigned options)
{
    eeprom = SerialEeprom{};
    eeprom.data = data;
    eeprom.wordBits = (options & 4) ? 16 : 8;
    eeprom.addressBits = uint8_t(AddressWidths[options & 3] - ((options & 4) ? 1 : 0));
    eeprom.shiftOut = 0xFFFFFFFFu;
    eeprom.lines = EepromClock | EepromDataIn;
}

uint8_t EepromReadBit(const SerialEeprom &eeprom)
{
    return uint8_t((eeprom.shiftOut >> 31) | 2);
}

void EepromWriteLines(SerialEeprom &e, uint8_t value)
{
    const bool rising = (value & EepromClock) && !(e.lines & EepromClock);
    e.lines = value;
    if (!rising)
        return;
    e.shiftOut = e.shiftOut << 1 | 1;
    // A low chip select pauses the command; it does not cancel it.
    if (!(value & EepromSelect))
        return;
    e.shiftIn = e.shiftIn << 1 | (value & EepromDataIn);

    if (e.bitsLeft == 0) {
        if (value & EepromDataIn) // start bit: two opcode bits and the address follow
            e.bitsLeft = uint8_t(e.addressBits + 2);
        return;
    }
    if (--e.bitsLeft != 0)
        return;

    if (e.reading) {
        e.reading = false;
        e.shiftIn = 0;
    } else if (e.writePending) {
        e.writePending = false;
        if (e.writeEnabled)
            StoreWord(e, e.writeAddress, e.shiftIn);
        e.shiftIn = 0;
    } else {
        RunCommand(e);
    }
}

} // namespace Belcrest
