// Time of day for the libraries (the handheld clock chip reads it), with a
// switch that keeps daylight-saving time out.
//
// These live only in namespace Zorvan: their plain names belong to the C
// library, which the rest of the process must keep using.
#pragma once

#include <ctime>

namespace Zorvan {

// 1 (the default): daylight-saving time follows the C library's zone data.
// 0: daylight-saving time is never applied; time and localtime then agree
// on the zone's standard time, so the pair still gives the wall clock.
extern int g_bUseDST;

// Seconds since 1970-01-01 00:00 UTC, also stored through t when not null.
// With g_bUseDST = 0 the daylight offset in effect is not taken off.
time_t time(time_t *t);

// The broken-down local time of *t in one static record, overwritten by
// every call: seconds to day of year filled, the daylight flag always 0,
// the rest cleared. A null t or a time the C library cannot convert gives
// the cleared record.
std::tm *localtime(time_t const *t);

} // namespace Zorvan

using Zorvan::g_bUseDST;
