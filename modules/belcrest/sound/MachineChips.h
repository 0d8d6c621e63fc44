// The sound chips of the running machine: one PSG and one FM unit, which the
// machine reaches through the chip functions of machine/MachineHooks.h
// (defined in MachineChips.cpp over these records).
#pragma once

#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/sound/Fm.h"
#include "modules/belcrest/sound/Psg.h"

namespace Belcrest {

extern Psg MachinePsg;
extern Fm MachineFm;

} // namespace Belcrest
