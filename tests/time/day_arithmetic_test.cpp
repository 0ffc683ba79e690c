// The fixed zone, the current time and whole-day arithmetic.
#include <gtest/gtest.h>

#include "day_arithmetic.h"
#include "fixed_zone.h"
#include "time_test_util.h"

using tt::Record;

namespace {

SYSTEMTIME InFixedZone(SYSTEMTIME utc)
{
    SYSTEMTIME local = tt::Sentinel();
    UtcToFixedZone(&local, &utc);
    return local;
}

// --- Fixed zone -----------------------------------------------------------

TEST(FixedZone, StandardAndDaylightTimeOf2010)
{
    EXPECT_EQ(Record(2010, 6, 5, 11, 12, 0), InFixedZone(Record(2010, 6, 5, 11, 8, 0)));
    EXPECT_EQ(Record(2010, 1, 5, 15, 11, 0), InFixedZone(Record(2010, 1, 5, 15, 8, 0)));
    // Daylight time begins only on the last Sunday of April (25th), not of March.
    EXPECT_EQ(Record(2010, 4, 6, 10, 15, 0), InFixedZone(Record(2010, 4, 6, 10, 12, 0)));
    EXPECT_EQ(Record(2010, 3, 0, 28, 15, 0), InFixedZone(Record(2010, 3, 0, 28, 12, 0)));
}

TEST(FixedZone, ChangesOf2010AtTwoOClockLocal)
{
    // Spring: 02:00 local standard time on Sunday 25 April is 23:00 UTC on the 24th.
    EXPECT_EQ(Record(2010, 4, 0, 25, 1, 59, 59, 999), InFixedZone(Record(2010, 4, 6, 24, 22, 59, 59, 999)));
    EXPECT_EQ(Record(2010, 4, 0, 25, 3, 0), InFixedZone(Record(2010, 4, 6, 24, 23, 0)));
    // Autumn: 02:00 local daylight time on Sunday 31 October is 22:00 UTC on the 30th.
    EXPECT_EQ(Record(2010, 10, 0, 31, 1, 59, 59, 999), InFixedZone(Record(2010, 10, 6, 30, 21, 59, 59, 999)));
    EXPECT_EQ(Record(2010, 10, 0, 31, 1, 0), InFixedZone(Record(2010, 10, 6, 30, 22, 0)));
}

TEST(FixedZone, ChangesOfALeapYear)
{
    // 2012: last Sundays are 29 April and 28 October.
    EXPECT_EQ(Record(2012, 4, 0, 29, 1, 59), InFixedZone(Record(2012, 4, 6, 28, 22, 59)));
    EXPECT_EQ(Record(2012, 4, 0, 29, 3, 0), InFixedZone(Record(2012, 4, 6, 28, 23, 0)));
    EXPECT_EQ(Record(2012, 4, 0, 22, 5, 0), InFixedZone(Record(2012, 4, 0, 22, 2, 0))) << "a week before";
    EXPECT_EQ(Record(2012, 10, 0, 28, 1, 59), InFixedZone(Record(2012, 10, 6, 27, 21, 59)));
    EXPECT_EQ(Record(2012, 10, 0, 28, 1, 0), InFixedZone(Record(2012, 10, 6, 27, 22, 0)));
    EXPECT_EQ(Record(2012, 2, 3, 29, 14, 0), InFixedZone(Record(2012, 2, 3, 29, 11, 0)));
}

TEST(FixedZone, NullRecordsAreLeftAlone)
{
    SYSTEMTIME utc = Record(2010, 6, 5, 11, 8, 0);
    SYSTEMTIME local = tt::Sentinel();
    UtcToFixedZone(&local, nullptr);
    EXPECT_EQ(tt::Sentinel(), local);
    UtcToFixedZone(nullptr, &utc);
    EXPECT_EQ(Record(2010, 6, 5, 11, 8, 0), utc);
    EXPECT_EQ(nullptr, ConvertToFixedZone(nullptr));
    EXPECT_EQ(nullptr, GetFixedZoneNow(nullptr));
    EXPECT_EQ(nullptr, GetUtcNow(nullptr));
}

TEST(FixedZone, ConvertsInPlace)
{
    SYSTEMTIME time = Record(2010, 12, 5, 31, 22, 30, 15, 250);
    EXPECT_EQ(&time, ConvertToFixedZone(&time));
    EXPECT_EQ(Record(2011, 1, 6, 1, 1, 30, 15, 250), time);
}

TEST(FixedZone, ARecordThatIsNoDateComesBackAsItWas)
{
    SYSTEMTIME day0 = Record(2010, 6, 5, 0, 8, 0);
    EXPECT_EQ(&day0, ConvertToFixedZone(&day0));
    EXPECT_EQ(Record(2010, 6, 5, 0, 8, 0), day0);
}

// --- Now ------------------------------------------------------------------

ULONGLONG NowTicks()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

TEST(Now, UtcNowLiesBetweenTwoReadingsOfTheClock)
{
    // Millisecond records: allow the tick count to be cut down to the millisecond.
    ULONGLONG before = NowTicks() / 10000 * 10000;
    SYSTEMTIME now = tt::Sentinel();
    EXPECT_EQ(&now, GetUtcNow(&now));
    ULONGLONG after = NowTicks();
    ULONGLONG ticks = SystemTimeToTicks(&now);
    EXPECT_LE(before, ticks);
    EXPECT_GE(after, ticks);
}

TEST(Now, FixedZoneNowIsUtcNowConverted)
{
    SYSTEMTIME before;
    GetUtcNow(&before);
    SYSTEMTIME local = tt::Sentinel();
    EXPECT_EQ(&local, GetFixedZoneNow(&local));
    SYSTEMTIME after;
    GetUtcNow(&after);
    SYSTEMTIME localBefore = InFixedZone(before);
    SYSTEMTIME localAfter = InFixedZone(after);
    EXPECT_GE(CompareSystemTimes(&local, &localBefore), 0);
    EXPECT_LE(CompareSystemTimes(&local, &localAfter), 0);
    ULONGLONG aheadMinutes = (SystemTimeToTicks(&local) - SystemTimeToTicks(&before)) / 600000000ULL;
    EXPECT_TRUE(aheadMinutes == 180 || aheadMinutes == 240) << aheadMinutes;
}

// --- Days -----------------------------------------------------------------

TEST(Days, TwentyThreeHoursAcrossMidnight)
{
    SYSTEMTIME later = Record(2010, 6, 6, 12, 7, 0);
    SYSTEMTIME earlier = Record(2010, 6, 5, 11, 8, 0);
    EXPECT_EQ(0, DaysBetween(&later, &earlier));
    EXPECT_EQ(1, DayNumberDifference(&later, &earlier));
    EXPECT_EQ(0, DaysBetween(&earlier, &later));
    EXPECT_EQ(-1, DayNumberDifference(&earlier, &later));
}

TEST(Days, ThirtySixHours)
{
    SYSTEMTIME base = Record(2010, 6, 5, 11, 8, 0);
    SYSTEMTIME earlier = Record(2010, 6, 3, 9, 20, 0);
    EXPECT_EQ(-1, DaysBetween(&earlier, &base));
    EXPECT_EQ(-2, DayNumberDifference(&earlier, &base));
    EXPECT_EQ(1, DaysBetween(&base, &earlier));
    EXPECT_EQ(2, DayNumberDifference(&base, &earlier));
}

TEST(Days, ExactlyOneDayAndOneMillisecondShort)
{
    SYSTEMTIME a = Record(2010, 6, 5, 11, 8, 0);
    SYSTEMTIME dayLater = Record(2010, 6, 6, 12, 8, 0);
    SYSTEMTIME almost = Record(2010, 6, 6, 12, 7, 59, 59, 999);
    EXPECT_EQ(1, DaysBetween(&dayLater, &a));
    EXPECT_EQ(-1, DaysBetween(&a, &dayLater));
    EXPECT_EQ(0, DaysBetween(&almost, &a));
    EXPECT_EQ(0, DaysBetween(&a, &a));
}

TEST(Days, DayNumbersCountFrom1601)
{
    SYSTEMTIME first = Record(1601, 1, 1, 1);
    SYSTEMTIME lastMoment = Record(1601, 1, 1, 1, 23, 59, 59, 999);
    SYSTEMTIME second = Record(1601, 1, 2, 2);
    SYSTEMTIME nextYear = Record(1602, 1, 3, 1);
    EXPECT_EQ(0u, SystemTimeToDayNumber(&first));
    EXPECT_EQ(0u, SystemTimeToDayNumber(&lastMoment));
    EXPECT_EQ(1u, SystemTimeToDayNumber(&second));
    EXPECT_EQ(365u, SystemTimeToDayNumber(&nextYear));
}

TEST(Days, NullRecords)
{
    SYSTEMTIME later = Record(2010, 6, 5, 11);
    EXPECT_EQ(0u, SystemTimeToDayNumber(nullptr));
    EXPECT_EQ(0, DaysBetween(nullptr, &later));
    EXPECT_EQ(0, DaysBetween(&later, nullptr));
    EXPECT_EQ(0, DaysBetween(nullptr, nullptr));
    EXPECT_EQ(static_cast<int>(SystemTimeToDayNumber(&later)), DayNumberDifference(&later, nullptr));
    EXPECT_EQ(0, DayNumberDifference(nullptr, nullptr));
}

// --- Adding days ----------------------------------------------------------

TEST(AddDays, ThirtyDaysRecomputesTheWeekdayAndKeepsTheMilliseconds)
{
    SYSTEMTIME time = Record(2010, 6, 5, 11, 8, 5, 9, 250);
    AddDays(&time, 30);
    EXPECT_EQ(Record(2010, 7, 0, 11, 8, 5, 9, 250), time);
}

TEST(AddDays, ZeroDaysCorrectsTheWeekday)
{
    SYSTEMTIME time = Record(2010, 6, 2, 11, 8, 5, 9, 1);
    AddDays(&time, 0);
    EXPECT_EQ(Record(2010, 6, 5, 11, 8, 5, 9, 1), time);
}

TEST(AddDays, CountsPast49710DaysDoNotWrap)
{
    // 49,710 x 86,400 still fits 32 bits; 49,711 x 86,400 does not.
    const DWORD counts[] = { 49710, 49711, 100000, 1000000, 3000000 };
    for (DWORD days : counts) {
        SYSTEMTIME start = Record(1700, 1, 5, 1, 12, 0, 0, 500);
        SYSTEMTIME moved = start;
        AddDays(&moved, days);
        EXPECT_EQ(static_cast<ULONGLONG>(days) * kTicksPerDay, SystemTimeToTicks(&moved) - SystemTimeToTicks(&start))
            << days;
        EXPECT_EQ(500, moved.wMilliseconds);
    }
}

TEST(AddDays, PastTheLastRepresentableDateLeavesTheRecordUnchanged)
{
    // The last instant a FILETIME can carry is 30828-09-14 02:48:05.477 UTC.
    SYSTEMTIME time = Record(30827, 12, 5, 31);
    AddDays(&time, 258); // 30828 is a leap year
    EXPECT_EQ(Record(30828, 9, 4, 14), time);
    AddDays(&time, 1);
    EXPECT_EQ(Record(30828, 9, 4, 14), time);
    SYSTEMTIME start = Record(2010, 6, 5, 11, 8, 5, 9, 250);
    time = start;
    AddDays(&time, 0xFFFFFFFFu);
    EXPECT_EQ(start, time);
    AddDays(&time, 21350400u); // a product that would wrap even in 64 bits
    EXPECT_EQ(start, time);
}

TEST(AddDays, NullAndNoDateAreLeftAlone)
{
    AddDays(nullptr, 30);
    SYSTEMTIME day0 = Record(2010, 6, 5, 0, 8);
    AddDays(&day0, 30);
    EXPECT_EQ(Record(2010, 6, 5, 0, 8), day0);
}

} // namespace
