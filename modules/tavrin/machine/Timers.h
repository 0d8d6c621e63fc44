// The four timers. Their words describe them at one cycle of the machine's
// clock (TimerClock); every read, every store that concerns them and every
// line step first brings them forward to the cycle it happens at, so a read
// sees the counter of that very cycle.
#pragma once

#include <cstdint>

namespace Tavrin {

// Cycles per count (1, 64, 256, 1024), or 0 while stopped.
extern int32_t TimerPeriod[4];
// Cycles until the next count; 0 marks a count-up timer.
extern int32_t TimerCountdown[4];
extern uint32_t TimerCounter[4];
extern uint32_t TimerReload[4];
// The cycle the words above describe.
extern uint64_t TimerClock;

inline constexpr uint64_t NoTimerEvent = ~uint64_t(0);

void ResetTimers();

// Whether any timer counts: its counter, and with it the interrupt flags,
// can change between two reads.
inline bool AnyTimerRunning()
{
    return (TimerPeriod[0] | TimerPeriod[1] | TimerPeriod[2] | TimerPeriod[3]) != 0;
}

// Brings running timers forward from TimerClock to a later clock.
void AdvanceRunningTimers(uint64_t clock);

// Brings the timers forward to clock (earlier clocks change nothing): counts,
// overflows with their reloads and interrupt flags, count-up timers taking
// one count per overflow of the timer below, and the direct-sound samples
// the overflows of timers 0 and 1 stand for.
inline void SyncTimers(uint64_t clock)
{
    if (clock <= TimerClock)
        return;
    if (AnyTimerRunning())
        AdvanceRunningTimers(clock);
    else
        TimerClock = clock;
}

// The first cycle after TimerClock at which an overflow raises an interrupt
// that is enabled (in IE) and not already flagged, or NoTimerEvent.
uint64_t NextTimerInterrupt();
// The counter at the CPU's current cycle.
uint32_t ReadTimerCounter(uint32_t n);
// Stores to a timer's reload and control registers, at the CPU's current
// cycle. Starting a timer loads its counter from the reload value; a reload
// store alone leaves the counter as it is.
void WriteTimerReload(uint32_t n, uint32_t value);
void WriteTimerControl(uint32_t n, uint32_t value);

} // namespace Tavrin
