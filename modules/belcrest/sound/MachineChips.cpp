#include "modules/belcrest/sound/MachineChips.h"

namespace Belcrest {

Psg MachinePsg;
Fm MachineFm;

void PsgReset(int firstChannel)
{
    PsgReset(MachinePsg, uint32_t(firstChannel));
}

void PsgWrite(uint8_t value)
{
    PsgWrite(MachinePsg, value);
}

void PsgSync(int mode)
{
    PsgSync(MachinePsg, uint8_t(mode));
}

void FmReset(int firstChannel)
{
    FmReset(MachineFm, uint32_t(firstChannel));
}

void FmSelectRegister(uint8_t value)
{
    FmSelectRegister(MachineFm, value);
}

void FmWriteData(uint8_t value)
{
    FmWriteData(MachineFm, value);
}

void FmSync(int mode)
{
    FmSync(MachineFm, uint8_t(mode));
}

} // namespace Belcrest
