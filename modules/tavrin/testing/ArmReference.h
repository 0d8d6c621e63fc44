// A slow ARM reference decoder for differential testing: it decodes each
// opcode from its bit fields at run time, in the architecture's order, and
// computes flags with wide arithmetic instead of the handlers' bit formulas.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin::Test {

// Executes one ARM opcode whose condition has passed, with r15 = its
// address + 4, charging cycles as the handlers do.
void ReferenceExecuteArm(ArmState *s, uint32_t op);

} // namespace Tavrin::Test
