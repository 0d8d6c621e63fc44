// The BIOS calls that only compute: divisions, the square root and the arc
// tangents. They read their arguments from r0-r3 and leave their results
// there, touching no memory.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

namespace Tavrin {

void BiosDiv(ArmState *s);
void BiosDivArm(ArmState *s);
void BiosSqrt(ArmState *s);
void BiosArcTan(ArmState *s);
void BiosArcTan2(ArmState *s);

} // namespace Tavrin
