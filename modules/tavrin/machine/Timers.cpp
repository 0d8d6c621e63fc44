#include "modules/tavrin/machine/Timers.h"

#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/SoundFifo.h"

#include <algorithm>
#include <bit>

namespace Tavrin {

int32_t TimerPeriod[4];
int32_t TimerCountdown[4];
uint32_t TimerCounter[4];
uint32_t TimerReload[4];
uint64_t TimerClock;

namespace {

constexpr int32_t Prescale[4] = {1, 64, 256, 1024};

// Counts beyond this lie further ahead than any run lasts (2^40 cycles are
// eighteen hours); keeping below it keeps the products in 64 bits.
constexpr uint64_t FarCounts = uint64_t(1) << 40;

// Each overflow of a sound timer plays a sample of the channels it drives,
// whether the host plays sound or not.
void CountSamples(uint32_t timer, uint32_t samples) { PlayFifoSamples(timer, samples); }

// The cycle of timer n's k-th overflow from TimerClock on (k >= 1).
uint64_t NthOverflow(uint32_t n, uint64_t k)
{
    if (TimerPeriod[n] == 0 || k > FarCounts)
        return NoTimerEvent;
    const uint64_t counts = (0x10000 - TimerCounter[n]) + (k - 1) * (0x10000 - TimerReload[n]);
    if (TimerCountdown[n] == 0)
        return n == 0 ? NoTimerEvent : NthOverflow(n - 1, counts);
    if (counts > FarCounts)
        return NoTimerEvent;
    return TimerClock + uint64_t(TimerCountdown[n]) + (counts - 1) * uint64_t(TimerPeriod[n]);
}

void SyncToCpu() { SyncTimers(CpuClock()); }

struct Quotient {
    uint64_t times, left;
};
// In 32 bits whenever the dividend allows, which it nearly always does.
inline Quotient DivideBy(uint64_t e, uint32_t m)
{
    if (e >> 32) [[unlikely]]
        return {e / m, e % m};
    return {uint32_t(e) / m, uint32_t(e) % m};
}

} // namespace

void ResetTimers()
{
    for (int n = 0; n < 4; ++n) {
        TimerCountdown[n] = TimerPeriod[n] = 0;
        TimerCounter[n] = TimerReload[n] = 0;
    }
    TimerClock = 0;
}

void AdvanceRunningTimers(uint64_t clock)
{
    const uint64_t elapsed = clock - TimerClock;
    TimerClock = clock;
    uint64_t overflows[4] = {};
    uint32_t raised = 0;
    for (uint32_t n = 0; n < 4; ++n) {
        const uint64_t period = uint64_t(TimerPeriod[n]);
        if (period == 0)
            continue;
        uint64_t counts;
        const uint64_t countdown = uint64_t(TimerCountdown[n]);
        if (countdown == 0) {
            counts = n ? overflows[n - 1] : 0;
        } else if (elapsed < countdown) {
            TimerCountdown[n] = int32_t(countdown - elapsed);
            continue;
        } else {
            // Periods are powers of two.
            const uint64_t past = elapsed - countdown;
            counts = 1 + (past >> std::countr_zero(period));
            TimerCountdown[n] = int32_t(period - (past & (period - 1)));
        }
        uint64_t value = TimerCounter[n] + counts;
        if (value > 0xFFFF) {
            const uint64_t e = value - 0x10000;
            const uint32_t m = 0x10000 - TimerReload[n];
            const auto [times, left] = DivideBy(e, m);
            overflows[n] = times + 1;
            value = TimerReload[n] + left;
            if (IoGet(Io::TimerControl(n)) & 0x40)
                raised |= 8u << n;
        }
        TimerCounter[n] = uint32_t(value);
    }
    // The words are whole before anything below may read a timer again.
    if (raised)
        IoSet(Io::If, IoGet(Io::If) | raised);
    for (uint32_t n = 0; n < 2; ++n)
        if (overflows[n])
            CountSamples(n, uint32_t(std::min<uint64_t>(overflows[n], 0xFFFFFFFF)));
}

uint64_t NextTimerInterrupt()
{
    // The master enable is not asked: an enabled interrupt wakes a halted
    // CPU without it.
    const uint32_t armed = IoGet(Io::Ie) & ~IoGet(Io::If) & 0x78;
    if (!armed)
        return NoTimerEvent;
    uint64_t next = NoTimerEvent;
    for (uint32_t n = 0; n < 4; ++n)
        if ((armed & (8u << n)) && (IoGet(Io::TimerControl(n)) & 0x40))
            next = std::min(next, NthOverflow(n, 1));
    return next;
}

uint32_t ReadTimerCounter(uint32_t n)
{
    SyncToCpu();
    return TimerCounter[n];
}

void WriteTimerReload(uint32_t n, uint32_t value)
{
    SyncToCpu();
    TimerReload[n] = value & 0xFFFF;
    IoSet(Io::TimerCounter(n), value);
    // The sound channels' pitch follows the reload of their timer.
    if (n < 2)
        UpdatePcmRates();
    RescheduleSlice();
}

void WriteTimerControl(uint32_t n, uint32_t value)
{
    SyncToCpu();
    const uint32_t old = IoGet(Io::TimerControl(n));
    const int32_t period = (value & 0x80) ? Prescale[value & 3] : 0;
    const int32_t countdown = (n > 0 && (value & 4)) ? 0 : period;
    if (period == 0) {
        TimerCountdown[n] = 0;
    } else if (!(old & 0x80)) {
        TimerCounter[n] = TimerReload[n];
        TimerCountdown[n] = countdown;
    } else if ((old ^ value) & 7) {
        // A running timer given another prescaler or mode starts its count
        // afresh; the counter stays.
        TimerCountdown[n] = countdown;
    }
    TimerPeriod[n] = period;
    IoSet(Io::TimerControl(n), value);
    if (n < 2)
        UpdatePcmRates();
    RescheduleSlice();
}

} // namespace Tavrin
