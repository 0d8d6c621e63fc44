// What the memory map (MemoryMap.cpp) and the line step (LineStep.cpp)
// share inside the machine: the running slice's clock, the sound unit's
// next wanted LineHook, and the flags a register access and a line step
// both read.
#pragma once

#include <cstdint>

namespace Cindrel {

// The cycle the running slice began at.
extern int64_t SliceStart;
// When the sound unit next wants a LineHook (INT64_MAX: never).
extern int64_t SoundHookAt;
// A status read at the start of the blank took this frame's NMI with it.
extern bool StatusReadAsBlankBegan;
// The player's hands are read again at the next strobe.
extern bool PadsStale;

// The sound unit's hold on the IRQ line follows its flags.
void FollowSoundIrq();

} // namespace Cindrel
