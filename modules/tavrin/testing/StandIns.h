// A stand-in machine for the CPU and the bus (cpu/ArmHooks.h: scheduler,
// BIOS calls, I/O registers, save devices), for tests and tools that run
// the core without the machine. They plug it in by choosing the behaviour
// of the two CPU hooks.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

using LineHookFn = uint32_t (*)(ArmState *);
using BiosCallFn = void (*)(ArmState *, uint32_t);

// Each plugs the stand-ins into the core's table. With no function set,
// LineHook stops the run and BiosCall only records.
void SetStandInLineHook(LineHookFn fn);
void SetStandInBiosCall(BiosCallFn fn);

struct StandInRecord {
    uint32_t biosCalls = 0;
    uint32_t lastComment = 0;
    uint32_t ioWrites = 0;
    uint32_t lastIoAddress = 0;
    uint32_t lastIoValue = 0;
    // What reached the cartridge's devices.
    uint32_t eepromWrites = 0;
    uint32_t rtcWrites = 0;
    uint32_t lastRtcAddress = 0;
    uint32_t flashWrites = 0;
    uint32_t lastFlashAddress = 0;
    uint32_t lastFlashByte = 0;
};
extern StandInRecord StandInLog;

} // namespace Tavrin
