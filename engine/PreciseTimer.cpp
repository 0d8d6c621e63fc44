#include "engine/PreciseTimer.h"

#include <chrono>
#include <thread>

namespace {

uint64_t SteadyNow()
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void SteadySleep(unsigned milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

constexpr CPreciseTimer::Clock kSteadyClock{&SteadyNow, &SteadySleep};
CPreciseTimer::Clock const *g_clock = &kSteadyClock;

} // namespace

CPreciseTimer::CPreciseTimer(uint64_t units)
    : valid(units != 0), frequency(kFrequency), startCount(0), endCount(0), unitsPerSecond(units)
{
    startCount = Now();
    endCount = startCount;
}

bool CPreciseTimer::Begin()
{
    if (!valid)
        return false;
    startCount = Now();
    return true;
}

uint64_t CPreciseTimer::End()
{
    if (!valid)
        return 0;
    endCount = Now();
    uint64_t const delta = endCount - startCount;
    // 128 bits in between: a nanosecond count times a million overflows
    // 64 bits after five hours.
    return static_cast<uint64_t>(static_cast<unsigned __int128>(delta) * unitsPerSecond / frequency);
}

void CPreciseTimer::SetClock(Clock const *clock)
{
    g_clock = clock ? clock : &kSteadyClock;
}

uint64_t CPreciseTimer::Now()
{
    return g_clock->now();
}

void CPreciseTimer::Sleep(unsigned milliseconds)
{
    g_clock->sleep(milliseconds);
}
