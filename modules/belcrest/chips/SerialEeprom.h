// Serial EEPROM with a four-wire interface (chip select, clock, data in,
// data out), as some cartridges carry for their saves.
#pragma once

#include <cstdint>

namespace Belcrest {

struct SerialEeprom {
    uint32_t shiftIn;  // bits received, newest in bit 0
    uint32_t shiftOut; // bit 31 drives data out
    uint8_t lines;     // last control-line value
    uint8_t bitsLeft;  // bits still expected in the current phase
    bool writePending;
    bool reading;
    bool writeEnabled;
    // Word address of the pending WRITE. Wider than a byte: the parts with
    // 9 to 11 address bits would otherwise store into the wrong word.
    uint16_t writeAddress;
    uint8_t addressBits;
    uint8_t wordBits; // 8 or 16
    uint8_t *data;    // 2^addressBits words
};

// Control lines of a written value.
enum : uint8_t {
    EepromDataIn = 0x01,
    EepromClock = 0x02,
    EepromSelect = 0x04,
};

// Options: bits 0-1 pick 7, 8, 9 or 11 address bits (one fewer with 16-bit
// words); bit 2 selects 16-bit words.
void EepromReset(SerialEeprom &eeprom, uint8_t *data, unsigned options);
// Bytes of memory the chip addresses with these options.
unsigned EepromSize(unsigned options);
// Data out in bit 0; bit 1 (ready) always set.
uint8_t EepromReadBit(const SerialEeprom &eeprom);
void EepromWriteLines(SerialEeprom &eeprom, uint8_t value);

} // namespace Belcrest
