// Interval timing over the monotonic clock, and the wall clock's low bits.
#pragma once

#include <cstdint>

namespace Zorvan {

// The low 32 bits of the current UTC time as a file time (100-nanosecond
// units since 1601-01-01; not milliseconds, whatever the name says).
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
