#include "common/zorvan/Timer.h"

#include <chrono>

namespace Zorvan {

namespace {

using Clock = std::chrono::steady_clock;

int64_t g_frequency = 0; // ticks per second
int64_t g_start = 0;

int64_t ticksNow() { return Clock::now().time_since_epoch().count(); }

} // namespace

uint32_t getms()
{
    // The wall clock as a file time: 100 ns units since 1601-01-01, which is
    // this many of them before 1970-01-01.
    constexpr int64_t FileTimeOf1970 = 116444736000000000;
    auto hundredNs = std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10000000>>>(
        std::chrono::system_clock::now().time_since_epoch());
    return uint32_t(uint64_t(hundredNs.count() + FileTimeOf1970));
}

void timerinit() { g_frequency = Clock::period::den / Clock::period::num; }

void timerstart() { g_start = ticksNow(); }

int timerstop()
{
    if (g_frequency == 0)
        return 0;
    // (now - start) * 1000 / frequency, without overflowing for long runs.
    int64_t elapsed = ticksNow() - g_start;
    return int(elapsed / g_frequency * 1000 + elapsed % g_frequency * 1000 / g_frequency);
}

} // namespace Zorvan
