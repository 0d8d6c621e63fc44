// The run loop: time slices of ARM or THUMB instructions, the machine's line
// step between them, IRQ entry and the frame end.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

namespace Tavrin {

// Returns 1 when the frame ended, 0 when LineHook asked to stop.
int ArmRunFrame(ArmState *s);

// One instruction of the current instruction set, fetch included, outside
// the slice bookkeeping (for tests and tools).
void ArmStepInstruction(ArmState *s);

} // namespace Tavrin
