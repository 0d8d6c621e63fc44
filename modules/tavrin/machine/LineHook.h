// The machine's clock: its line step (LineHook, cpu/ArmHooks.h) is called
// whenever the CPU has used up its slice. A slice ends at the next event: the end of the
// visible part of a line (960 cycles) or of its horizontal blank (272), or,
// sooner, the overflow of a timer whose interrupt is enabled.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

inline constexpr int32_t VisibleCycles = 960;
inline constexpr int32_t HBlankCycles = 272;
inline constexpr uint32_t LinesPerFrame = 228;
inline constexpr uint32_t VisibleLines = 160;

// Cycles since the last reset (or state load): the cycle at which the
// current slice ends, and that of the next line event.
extern uint64_t SliceEndClock;
extern uint64_t LineEventClock;

// The cycle the CPU has reached: its slice ends at SliceEndClock, and it
// still has cyclesLeft of it (plus those an early exit put aside).
inline uint64_t CpuClock()
{
    const ArmState &cpu = ConsoleCpu;
    const int64_t left = int64_t(cpu.cyclesLeft) + (cpu.earlyExit ? cpu.savedCycles : 0);
    return SliceEndClock - uint64_t(left);
}

// The line step behind LineHook: runs the events up to the end of the slice
// just run and sets the next sliceLength; returns the pending interrupts.
uint32_t MachineLineHook(ArmState *cpu);

// After a store that may bring a timer interrupt forward: ends the running
// slice at that interrupt's cycle when it falls inside the slice.
void RescheduleSlice();

// The clock at power-on: line 0, visible part, from cycle 0 (the timers
// start there too: ResetTimers).
void ResetMachineClock();
// The clock for a machine just loaded from a state, which always stops
// right after a line event: the slice (cpu.sliceLength) starts at cycle 0,
// the line event follows after the part of the line that the display status
// shows, and the timer words describe cycle timerLead.
void ResumeMachineClock(uint32_t timerLead);
// What a state keeps of the clock: how far the timer words are past the
// start of the running slice.
uint32_t TimerLead();

} // namespace Tavrin
