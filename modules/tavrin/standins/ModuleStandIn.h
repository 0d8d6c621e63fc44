// Stand-in for the module's video, input and sound generator until they
// land: counts what the machine asks of them and answers with set values.
#pragma once

#include <cstdint>

namespace Tavrin {

struct ModuleStandInRecord {
    uint32_t presented = 0;  // PresentFrame calls
    uint32_t padReads = 0;   // ReadPadState calls
    uint32_t padState = 0;   // what ReadPadState answers
    uint32_t psgResets = 0;
    uint32_t psgTicks = 0;
    uint32_t psgSyncs = 0;
    uint32_t psgWrites = 0;
    uint32_t lastPsgOffset = 0;
    uint32_t lastPsgValue = 0;
    uint32_t psgOnFlags = 0; // what PsgOnFlags answers
};
extern ModuleStandInRecord ModuleStandInLog;

} // namespace Tavrin
