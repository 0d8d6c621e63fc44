// What the CPU calls in the rest of the machine. The machine's scheduler and
// BIOS-call emulation define these.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

inline constexpr uint32_t LineHookStop = 0xFFFFFFFF;

// Advances the machine by the slice just run and sets the next sliceLength;
// returns the pending-interrupt word, or LineHookStop.
uint32_t LineHook(ArmState *s);
// A software interrupt with its comment field (24 bits from ARM, 8 from THUMB).
void BiosCall(ArmState *s, uint32_t comment);

// Set by the scheduler at the end of a frame; the run loop clears it.
extern uint8_t FrameEnded;

} // namespace Tavrin
