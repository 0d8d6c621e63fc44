// The 4096-slot ARM handler table, indexed by opcode bits 7-4 (the block)
// and 27-20 (the slot).
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <array>
#include <cstdint>

namespace Tavrin {

using ArmOpHandler = void (*)(ArmState *, uint32_t);

extern const std::array<ArmOpHandler, 4096> ArmOpcodeTable;

inline constexpr uint32_t ArmTableIndex(uint32_t op)
{
    return ((op >> 4) & 0xF) << 8 | ((op >> 20) & 0xFF);
}

// Prints the unrecognized-opcode line when the trace is on; changes nothing.
// The word a fetch from unmapped memory reads lands here too, and runs what
// the bus holds instead.
void ReportUndefinedOpcode(ArmState *s, uint32_t op);

// When the instruction before r15 was fetched from unmapped memory: runs the
// word the bus holds and returns true.
bool ArmRunOpenBus(ArmState *s);

} // namespace Tavrin
