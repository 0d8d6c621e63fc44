// The cartridge's save memory as battery RAM and flash chip at once: one
// array, SaveRam, seen one 64 KB bank at a time at 0x0E000000. Loads and
// 16/32-bit stores go straight to the bank through the page tables; byte
// stores come here (FlashBusWrite, the bus's FlashWrite: cpu/ArmHooks.h),
// which runs the chip's command sequences and otherwise stores the byte as
// RAM would.
#pragma once

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/machine/CartridgeServices.h"

#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Tavrin {

inline constexpr uint32_t FlashImageSize = 20;
inline constexpr uint32_t FlashBankSize = 0x10000;

struct FlashRecord {
    uint8_t *base = nullptr;  // the whole array, 1 << sizeExp bytes
    uint8_t cycle = 0;        // position in a command sequence, 0-7
    uint8_t idMode = 0;
    uint8_t trace = 0;
    uint16_t chipId = 0xD4BF; // low byte maker, high byte device
    uint8_t hidden[2] = {};   // bank bytes 0 and 1 while the ID covers them
    uint8_t sizeExp = 16;
    uint8_t *bank = nullptr;  // the current 64 KB bank
};

extern FlashRecord FlashState;

// A byte store into the save-memory region; returns the 64 KB bank that
// must now appear at 0x0E000000, or null when the mapping stays.
uint8_t *FlashBusWrite(uint32_t address, uint32_t byte);

// FlashReset (machine/CartridgeServices.h) leaves ID mode first, so the
// bytes it hid are back in the array, raises the exponent to 16 and maps
// bank 0 over the save-memory window again.

// The 20-byte record of the state file: the base slot is 0 and the bank slot
// holds the current bank's offset in the array. Reading checks every field
// (sizeExp must equal the running array's) and re-bases the bank on the
// live array; nothing changes on failure.
void FlashWriteImage(const FlashRecord &f, Zorvan::ByteWriter &out);
bool FlashReadImage(FlashRecord &f, Zorvan::ByteReader &in);

} // namespace Tavrin
