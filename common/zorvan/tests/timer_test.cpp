#include "common/zorvan/Timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
