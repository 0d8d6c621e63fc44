#include "common/zorvan/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace Zorvan::Test {

TEST(Timer, MeasuresElapsedMilliseconds)
{
    timerinit();
    uint32_t before = getms();
    timerstart();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int ms = timerstop();
    uint32_t after = getms();
    EXPECT_GE(ms, 30);
    EXPECT_LT(ms, 60000);
    // getms counts 100-nanosecond units; the difference wraps cleanly.
    EXPECT_GE(uint32_t(after - before), 300000u);
}

TEST(Timer, GetmsIsTheLowWordOfTheUtcFileTime)
{
    // 1970-01-01 is 11,644,473,600 seconds after 1601-01-01.
    auto fileTimeNow = [] {
        auto since1970 = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        return uint32_t(uint64_t(since1970.count() * 10 + 116444736000000000LL));
    };
    uint32_t before = fileTimeNow();
    uint32_t got = getms();
    uint32_t after = fileTimeNow();
    // Within the two readings, modulo 2^32 (the low word wraps every 7 minutes).
    EXPECT_LE(uint32_t(got - before), uint32_t(after - before) + 10u);
}

} // namespace Zorvan::Test
