#include "modules/tavrin/standins/ModuleStandIn.h"

#include "modules/tavrin/machine/ModuleServices.h"

namespace Tavrin {

ModuleStandInRecord ModuleStandInLog;

void PresentFrame() { ++ModuleStandInLog.presented; }
uint32_t ReadPadState()
{
    ++ModuleStandInLog.padReads;
    return ModuleStandInLog.padState;
}

void PsgResetExtended() { ++ModuleStandInLog.psgResets; }
void PsgSync(int) { ++ModuleStandInLog.psgSyncs; }
void PsgTick(int) { ++ModuleStandInLog.psgTicks; }
int PsgWriteIo(uint32_t offset, uint32_t value)
{
    ++ModuleStandInLog.psgWrites;
    ModuleStandInLog.lastPsgOffset = offset;
    ModuleStandInLog.lastPsgValue = value;
    return 1;
}
uint32_t PsgOnFlags() { return ModuleStandInLog.psgOnFlags; }

} // namespace Tavrin
