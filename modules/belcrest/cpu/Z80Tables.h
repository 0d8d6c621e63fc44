// Flag and cycle tables of the Z80 interpreter.
#pragma once

#include <array>
#include <cstdint>

namespace Belcrest {

// S (0x80) and Z (0x40) of a byte result.
extern const std::array<uint8_t, 256> SzTable;
// SzTable plus P/V (0x04) for even parity.
extern const std::array<uint8_t, 256> SzpTable;
// Indexed by A + 0x100*C + 0x200*H + 0x400*N: new A in the high byte, new F
// in the low byte.
extern const std::array<uint16_t, 2048> DaaTable;

// Cycle tables. Each prefix byte (CB, DD, ED, FD) is charged 4 cycles by the
// table that fetched it, so a run of prefixes always consumes time; the
// tables behind a prefix hold the instruction's T-states less what its
// prefixes already paid.
extern const std::array<uint8_t, 256> CyclesMain;
extern const std::array<uint8_t, 256> CyclesCB;
extern const std::array<uint8_t, 256> CyclesED;
extern const std::array<uint8_t, 256> CyclesIndex;    // after DD or FD
extern const std::array<uint8_t, 256> CyclesIndexBit; // DD CB / FD CB by operation

} // namespace Belcrest
