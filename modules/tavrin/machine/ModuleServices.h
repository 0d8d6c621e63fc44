// What the machine calls in the module code: the frame's presentation, the
// pad, and the sound generator (one per process, so no record is passed).
#pragma once

#include <cstdint>

namespace Tavrin {

// A drawn frame is complete.
void PresentFrame();
// The buttons held in this frame (bit set = held).
uint32_t ReadPadState();

// The sound generator: extended reset, pushes of changes (mode 1 right
// after a reset, 2 once a frame), the frame tick in milliseconds, a store
// to its I/O block (offset from 0x060), and its channel-on flags.
void PsgResetExtended();
void PsgSync(int mode);
void PsgTick(int milliseconds);
int PsgWriteIo(uint32_t offset, uint32_t value);
uint32_t PsgOnFlags();

} // namespace Tavrin
