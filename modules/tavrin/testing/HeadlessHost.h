// The harness's video and input: what the module's would do for the machine
// (machine/ModuleServices.h), without Qt. A presented frame is counted (the
// picture stays in the harness's frame buffer); the pad answers what a test
// or tool sets. The sound generator is the real one (sound/Psg.h).
#pragma once

#include <cstdint>

namespace Tavrin {

struct HeadlessHostRecord {
    uint32_t framesPresented = 0;
    uint32_t padState = 0; // buttons held, bit set = held
};
// Cleared by MachineHarness::Start.
extern HeadlessHostRecord HeadlessHost;

} // namespace Tavrin
