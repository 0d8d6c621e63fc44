// Interval timing over the monotonic clock.
#pragma once

#include <cstdint>

namespace Zorvan {

// The low 32 bits of the monotonic clock in 100-nanosecond units (not
// milliseconds, whatever the name says): only differences mean anything.
uint32_t getms();
// Reads the clock's tick frequency; call once before timerstop.
void timerinit();
// Remembers the current count.
void timerstart();
// Milliseconds since timerstart, truncated.
int timerstop();

} // namespace Zorvan

using Zorvan::getms;
using Zorvan::timerinit;
using Zorvan::timerstart;
using Zorvan::timerstop;
