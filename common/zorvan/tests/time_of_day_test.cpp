#include "common/zorvan/TimeOfDay.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace Zorvan::Test {
namespace {

// Sets TZ for one test and puts the old value back afterwards.
// tzset() follows each change because the C library reads TZ only then.
class ZoneGuard {
public:
    explicit ZoneGuard(char const *zone)
    {
        environment_.Set("TZ", zone);
        ::tzset();
    }
    ~ZoneGuard()
    {
        environment_.Restore();
        ::tzset();
        Zorvan::g_bUseDST = 1;
    }

private:
    QuintarTest::ScopedEnvironment environment_;
};

time_t utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return ::timegm(&tm);
}

} // namespace

TEST(TimeOfDay, EpochInUtcIsAThursday)
{
    ZoneGuard zone("UTC");
    time_t zero = 0;
    std::tm const *tm = Zorvan::localtime(&zero);
    EXPECT_EQ(tm->tm_year, 70);
    EXPECT_EQ(tm->tm_mon, 0);
    EXPECT_EQ(tm->tm_mday, 1);
    EXPECT_EQ(tm->tm_hour, 0);
    EXPECT_EQ(tm->tm_min, 0);
    EXPECT_EQ(tm->tm_sec, 0);
    EXPECT_EQ(tm->tm_wday, 4);
    EXPECT_EQ(tm->tm_yday, 0);
    EXPECT_EQ(tm->tm_isdst, 0);

    std::tm const *cleared = Zorvan::localtime(nullptr);
    EXPECT_EQ(cleared->tm_year, 0);
    EXPECT_EQ(cleared->tm_mday, 0);
}

TEST(TimeOfDay, TimeIsSecondsSinceTheEpoch)
{
    ZoneGuard zone("UTC");
    time_t stored = 0;
    time_t got = Zorvan::time(&stored);
    EXPECT_EQ(got, stored);
    EXPECT_LE(std::llabs(static_cast<long long>(got - ::time(nullptr))), 2);
    EXPECT_EQ(Zorvan::time(nullptr) >= got, true);
}

TEST(TimeOfDay, DaylightStartsOnTheLastSundayOfMarch)
{
    if (::access("/usr/share/zoneinfo/Europe/London", R_OK) != 0)
        GTEST_SKIP() << "no zone data for Europe/London";
    ZoneGuard zone("Europe/London");
    // 31 March 2024 is a Sunday, so the last Sunday is the 31st; in 2023 it
    // is the 26th. The clocks go forward at 01:00 standard time.
    struct Case {
        time_t when;
        int mday, hour, minute;
    } const cases[] = {
        {utc(2024, 3, 30, 12, 0, 0), 30, 12, 0},
        {utc(2024, 3, 31, 0, 59, 0), 31, 0, 59},
        {utc(2024, 3, 31, 1, 0, 0), 31, 2, 0},
        {utc(2024, 3, 31, 12, 30, 0), 31, 13, 30},
        {utc(2023, 3, 25, 12, 0, 0), 25, 12, 0},
        {utc(2023, 3, 26, 1, 0, 0), 26, 2, 0},
        {utc(2024, 10, 27, 0, 59, 0), 27, 1, 59}, // last Sunday of October: still daylight
        {utc(2024, 10, 27, 1, 0, 0), 27, 1, 0},   // back to standard time
    };
    for (auto const &c : cases) {
        std::tm const *tm = Zorvan::localtime(&c.when);
        EXPECT_EQ(tm->tm_mday, c.mday) << c.when;
        EXPECT_EQ(tm->tm_hour, c.hour) << c.when;
        EXPECT_EQ(tm->tm_min, c.minute) << c.when;
        EXPECT_EQ(tm->tm_isdst, 0);
    }

    // With daylight saving switched off, summer times stay on standard time.
    Zorvan::g_bUseDST = 0;
    time_t summer = utc(2024, 7, 1, 12, 0, 0);
    EXPECT_EQ(Zorvan::localtime(&summer)->tm_hour, 12);
}

TEST(TimeOfDay, DaylightRuleOfTheZoneString)
{
    // The rule written out rather than taken from zone files: daylight time
    // from the last Sunday of March at 02:00 standard time to the last
    // Sunday of October at 03:00 daylight time, one hour ahead of UTC + 1.
    ZoneGuard zone("CET-1CEST,M3.5.0/2,M10.5.0/3");
    struct Case {
        time_t when;
        int mday, hour;
    } const cases[] = {
        {utc(2024, 3, 31, 0, 59, 59), 31, 1}, // 01:59:59 standard: not yet
        {utc(2024, 3, 31, 1, 0, 0), 31, 3},   // 02:00 standard is 03:00 daylight
        {utc(2024, 3, 24, 1, 0, 0), 24, 2},   // a week before: still standard
        {utc(2023, 3, 26, 1, 0, 0), 26, 3},   // 2023: the last Sunday is the 26th
        {utc(2024, 10, 27, 0, 59, 0), 27, 2}, // 02:59 daylight
        {utc(2024, 10, 27, 1, 0, 0), 27, 2},  // 03:00 daylight is 02:00 standard again
    };
    for (auto const &c : cases) {
        std::tm const *tm = Zorvan::localtime(&c.when);
        EXPECT_EQ(tm->tm_mday, c.mday) << c.when;
        EXPECT_EQ(tm->tm_hour, c.hour) << c.when;
    }
}

TEST(TimeOfDay, WithoutDaylightSavingTimeAndLocaltimeKeepTheStandardClock)
{
    // A zone that is on daylight time the whole year, one hour ahead of its
    // standard time (UTC), so the switch shows whatever the date today.
    ZoneGuard zone("XST0XDT,0/0,J365/25");
    time_t real = ::time(nullptr);
    time_t withDaylight = Zorvan::time(nullptr);
    EXPECT_LE(std::llabs(static_cast<long long>(withDaylight - real)), 2);

    Zorvan::g_bUseDST = 0;
    real = ::time(nullptr);
    time_t standard = Zorvan::time(nullptr);
    // The daylight hour is no longer taken off the wall clock...
    EXPECT_LE(std::llabs(static_cast<long long>(standard - real - 3600)), 2);
    // ...and localtime adds no daylight hour, so the two together still
    // give the wall clock.
    std::tm wall;
    ::localtime_r(&real, &wall);
    std::tm const *local = Zorvan::localtime(&standard);
    int apart = std::abs(local->tm_hour * 60 + local->tm_min - (wall.tm_hour * 60 + wall.tm_min));
    EXPECT_LE(std::min(apart, 24 * 60 - apart), 1);
    time_t noon = utc(2024, 7, 1, 12, 0, 0);
    EXPECT_EQ(Zorvan::localtime(&noon)->tm_hour, 12);
}

} // namespace Zorvan::Test
