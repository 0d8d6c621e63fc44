#include "common/zorvan/TimeOfDay.h"

#include <cstring>

namespace Zorvan {

int g_bUseDST = 1;

namespace {

std::tm g_localTime;

// Seconds east of UTC of the zone's standard time.
long standardOffset()
{
    ::tzset();
    return -::timezone;
}

} // namespace

// Both functions read TZ afresh (tzset) so a zone change reaches them.
time_t time(time_t *t)
{
    ::tzset();
    time_t now = ::time(nullptr);
    if (!g_bUseDST) {
        // The local wall clock read back with the standard offset only.
        std::tm local;
        if (::localtime_r(&now, &local) && local.tm_isdst > 0)
            now += local.tm_gmtoff - standardOffset();
    }
    if (t)
        *t = now;
    return now;
}

std::tm *localtime(time_t const *t)
{
    std::memset(&g_localTime, 0, sizeof g_localTime);
    if (!t)
        return &g_localTime;
    ::tzset();
    std::tm fields;
    if (g_bUseDST) {
        if (!::localtime_r(t, &fields))
            return &g_localTime;
    } else {
        time_t standard = *t + standardOffset();
        if (!::gmtime_r(&standard, &fields))
            return &g_localTime;
    }
    g_localTime.tm_sec = fields.tm_sec;
    g_localTime.tm_min = fields.tm_min;
    g_localTime.tm_hour = fields.tm_hour;
    g_localTime.tm_mday = fields.tm_mday;
    g_localTime.tm_mon = fields.tm_mon;
    g_localTime.tm_year = fields.tm_year;
    g_localTime.tm_wday = fields.tm_wday;
    g_localTime.tm_yday = fields.tm_yday;
    g_localTime.tm_isdst = 0;
    return &g_localTime;
}

} // namespace Zorvan
