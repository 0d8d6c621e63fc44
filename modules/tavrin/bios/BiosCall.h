// The console BIOS's software interrupts. With a BIOS image loaded a call
// enters the image at its SWI vector; without one the calls are done here,
// directly on the CPU's registers and, through the bus, on emulated memory.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

// An SWI's call (BiosCall, cpu/ArmHooks.h), with its comment field.
void MachineBiosCall(ArmState *s, uint32_t comment);

// A pending IntrWait/VBlankIntrWait: the r15 of its SWI (0 = none) and the
// game's r12 while it waits. Cleared by MachineReset and by a state load.
extern uint32_t WaitCallPc;
extern uint32_t WaitSavedR12;

// Where the game's interrupt handler marks the interrupts it served, and the
// soft reset's return flag (offsets in internal work RAM).
inline constexpr uint32_t BiosIntrFlagsOffset = 0x7FF8;
inline constexpr uint32_t SoftResetFlagOffset = 0x7FFA;

// The trace line of the call being made ("BIOS #0x%02X: " and the call's
// name and arguments), printed while LogFlags bit 5 is set.
void BiosTrace(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace Tavrin
