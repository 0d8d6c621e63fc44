// A high-resolution interval timer over the monotonic clock, counting in
// units of the caller's choice (microseconds for frame pacing, milliseconds
// for the frame-rate display).
//
// The clock behind every timer can be replaced (tests drive frame pacing
// with a clock of their own); it is read once per Begin/End, never per
// pixel or sample.
#pragma once

#include <cstdint>

class CPreciseTimer {
public:
    // The clock every timer reads: a monotonic count of nanoseconds, and
    // the sleep of the pacing loops (0 milliseconds only yields).
    struct Clock {
        uint64_t (*now)();
        void (*sleep)(unsigned milliseconds);
    };
    static constexpr uint64_t kFrequency = 1000000000ULL;

    explicit CPreciseTimer(uint64_t unitsPerSecond);

    bool IsValid() const { return valid; }
    // Starts measuring from now; false when the timer is not valid.
    bool Begin();
    // Units since Begin (Begin itself is not repeated); 0 when not valid.
    uint64_t End();

    // Replaces the clock of every timer; null restores the steady clock.
    static void SetClock(Clock const *clock);
    static uint64_t Now();
    static void Sleep(unsigned milliseconds);

    bool valid;
    uint64_t frequency;
    uint64_t startCount;
    uint64_t endCount;
    uint64_t unitsPerSecond;
};
