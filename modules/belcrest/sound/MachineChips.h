// The sound chips of the running machine: one PSG and one FM unit, which the
// machine reaches through the chip functions of machine/MachineHooks.h
// (defined in MachineChips.cpp over these records).
#pragma once

#include "modules/belcrest/sound/Fm.h"
#include "modules/belcrest/sound/Psg.h"

namespace Belcrest {

extern Psg MachinePsg;
extern Fm MachineFm;

// The machine's calls, on the records above.
void PsgReset(int firstChannel);
void PsgWrite(uint8_t value);
void PsgSync(int mode);
void FmReset(int firstChannel);
void FmSelectRegister(uint8_t value);
void FmWriteData(uint8_t value);
void FmSync(int mode);

} // namespace Belcrest
