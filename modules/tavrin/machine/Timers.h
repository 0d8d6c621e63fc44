// The four timers, stepped by LineHook once per slice.
#pragma once

#include <cstdint>

namespace Tavrin {

// Cycles per count (1, 64, 256, 1024), or 0 while stopped.
extern int32_t TimerPeriod[4];
// Cycles until the next count; 0 marks a count-up timer.
extern int32_t TimerCountdown[4];
extern uint32_t TimerCounter[4];
extern uint32_t TimerReload[4];

void ResetTimers();
// Advances the timers by cycles; raises their interrupt flags and counts
// the samples of the direct-sound channels they drive.
void StepTimers(int32_t cycles);
// A store to a timer's reload (counter) or control register.
void WriteTimerReload(uint32_t n, uint32_t value);
void WriteTimerControl(uint32_t n, uint32_t value);

} // namespace Tavrin
