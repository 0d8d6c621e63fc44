// The cartridge's serial EEPROM: a bit-serial request decoder over the
// 8 KB EepromRam. The game sends a start bit, a read/write bit and n address
// bits one 16-bit store at a time, then reads 4 dummy bits and 64 data bits
// or sends 64 data bits. The bus's 16-bit accesses to the EEPROM window
// come here (EepromReadBit and EepromWriteBit, cpu/ArmHooks.h).
#pragma once

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/machine/CartridgeServices.h"

#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Tavrin {

// EepromRam always holds the larger chip's 8 KB, so a switch of the address
// width keeps the bytes; 6 address bits reach the first 512 of them.
inline constexpr uint32_t EepromArraySize = 0x2000;
inline constexpr uint32_t EepromImageSize = 40;

struct EepromRecord {
    uint64_t input = 0;       // newest bit in bit 0
    uint64_t output = ~0ull;  // next bit out in bit 63
    uint8_t bits = 6;         // address bits n
    uint8_t *data = nullptr;  // EepromArraySize bytes
    uint8_t requestLeft = 0;  // request bits still to come
    uint8_t dataLeft = 0;     // write-data bits still to come
    uint8_t dummyLeft = 0;    // zero bits still to send before read data
    uint32_t address = 0;     // current byte address, a multiple of 8
    uint8_t trace = 0;
    uint8_t *echo = nullptr;  // the dummy page, where DMA reads see the bits
};

extern EepromRecord EepromState;

// EepromReset (machine/CartridgeServices.h) clamps the address bits to
// 6..16; the EEPROM then reads 1 ("ready").

// The chip's output bit for a load, and one bit of a store.
uint32_t EepromBusRead();
void EepromBusWrite(uint32_t value);

// Byte addresses wrap within the part of the array the address width reaches.
uint32_t EepromAddressMask(uint32_t bits);

// EepromNoteDmaUnits: the first request a DMA sends after a reset tells
// the address width: a 17-unit read request or an 81-unit write is a
// 14-bit chip, 9 or 73 units keep the width; other counts (the 68-unit
// reads) tell nothing.

// The 40-byte record of the state file; the pointer slots are written as 0
// and the reader keeps the live pointers. Reading checks every field
// against the protocol (n must be 6 or 14) and changes nothing on failure.
void EepromWriteImage(const EepromRecord &e, Zorvan::ByteWriter &out);
bool EepromReadImage(EepromRecord &e, Zorvan::ByteReader &in);

} // namespace Tavrin
