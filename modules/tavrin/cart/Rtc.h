// The cartridge's real-time clock behind the 4-bit port at 0x080000C4
// (data), 0x080000C6 (direction) and 0x080000C8 (control). The bus passes
// 16-bit stores there to RtcBusWrite (as RtcWrite, cpu/ArmHooks.h); while
// the port is enabled its registers are written into the ROM image itself,
// where the game reads them back. The clock answers with the host's local time in BCD.
#pragma once

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/machine/CartridgeServices.h"

#include <cstdint>
#include <ctime>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Tavrin {

inline constexpr uint32_t RtcImageSize = 40;

struct RtcRecord {
    uint8_t data = 0;       // bit 0 SCK, bit 1 SIO, bit 2 CS
    uint8_t direction = 0;  // bit 1 set: the game drives SIO
    uint8_t control = 0;    // bit 0: port enabled
    uint8_t command = 0;
    uint8_t bitCount = 0;
    uint8_t bitTotal = 0;
    uint8_t state = 0;      // 0 idle, 1 command in, 2 data out, 3 data in
    // Year, month, day, day of week, hour, minute, second; the first byte
    // alone is the status register.
    uint8_t bytes[12] = {};
    uint8_t *rom = nullptr; // ROM image byte 0xC4
    uint32_t savedC4 = 0, savedC8 = 0;
    int32_t timeOffset = 0; // seconds taken off the host time
    uint8_t trace = 0;
};

extern RtcRecord RtcState;

// Host time; the tests pin it. Fields come from Zorvan::localtime.
extern time_t (*RtcHostTime)();

// RtcKeepPortBytes keeps the image's own bytes 0xC4-0xCB at start-up;
// A 16-bit store to the port (0x080000C0-0x080000CF).
void RtcBusWrite(uint32_t address, uint32_t value);

// RtcReset (machine/CartridgeServices.h) puts the kept bytes back and
// clears the clock.
// Writes the port's words into the ROM image while the port is enabled,
// else the kept bytes; the state loader calls it once the record is in.
void RtcRestorePort();

// The 40-byte record of the state file; the ROM pointer slot is 0 and the
// reader keeps the live pointer. Reading checks every field and changes
// nothing on failure.
void RtcWriteImage(const RtcRecord &r, Zorvan::ByteWriter &out);
bool RtcReadImage(RtcRecord &r, Zorvan::ByteReader &in);

} // namespace Tavrin
