// The time module against records worked out independently with Python's
// datetime (oracle/make_oracle.py writes oracle/time_oracle.inc).
#include <gtest/gtest.h>

#include "date_texts.h"
#include "day_arithmetic.h"
#include "fixed_zone.h"
#include "time_test_util.h"

namespace {

struct FormatCase {
    SYSTEMTIME time;
    const wchar_t* text;
    ULONGLONG ticks;
    ULONGLONG dayNumber;
};
struct ZoneCase {
    SYSTEMTIME utc;
    SYSTEMTIME local;
};
struct DayCase {
    SYSTEMTIME a;
    SYSTEMTIME b;
    int daysBetween;
    int dayNumberDifference;
};
struct AddDaysCase {
    SYSTEMTIME start;
    DWORD days;
    SYSTEMTIME end;
};
struct ParseUtcCase {
    const wchar_t* text;
    SYSTEMTIME time;
};
struct ParseZonedCase {
    const char* text;
    SYSTEMTIME utc;
};

#include "oracle/time_oracle.inc"

TEST(TimeOracle, TextsTicksAndDayNumbers)
{
    for (const FormatCase& c : kFormatCases) {
        SCOPED_TRACE(::testing::PrintToString(c.time));
        WCHAR text[kGmtTextUnits];
        EXPECT_EQ(static_cast<int>(wcslen(c.text)), FormatGmtTime(&c.time, text));
        EXPECT_STREQ(c.text, text);
        EXPECT_EQ(c.ticks, SystemTimeToTicks(&c.time));
        EXPECT_EQ(c.dayNumber, SystemTimeToDayNumber(&c.time));
        SYSTEMTIME moved = c.time;
        moved.wDayOfWeek = (c.time.wDayOfWeek + 3) % 7;
        AddDays(&moved, 0);
        EXPECT_EQ(c.time, moved) << "the true weekday";
    }
}

TEST(TimeOracle, FixedZone)
{
    for (const ZoneCase& c : kZoneCases) {
        SYSTEMTIME local = tt::Sentinel();
        UtcToFixedZone(&local, &c.utc);
        EXPECT_EQ(c.local, local) << "UTC " << ::testing::PrintToString(c.utc);
        SYSTEMTIME inPlace = c.utc;
        ConvertToFixedZone(&inPlace);
        EXPECT_EQ(c.local, inPlace) << "UTC " << ::testing::PrintToString(c.utc);
    }
}

TEST(TimeOracle, DaysBetweenAndDayNumberDifference)
{
    for (const DayCase& c : kDayCases) {
        SCOPED_TRACE(::testing::PrintToString(c.a) + " - " + ::testing::PrintToString(c.b));
        EXPECT_EQ(c.daysBetween, DaysBetween(&c.a, &c.b));
        EXPECT_EQ(c.dayNumberDifference, DayNumberDifference(&c.a, &c.b));
    }
}

TEST(TimeOracle, AddDays)
{
    for (const AddDaysCase& c : kAddDaysCases) {
        SYSTEMTIME time = c.start;
        AddDays(&time, c.days);
        EXPECT_EQ(c.end, time) << ::testing::PrintToString(c.start) << " + " << c.days;
    }
}

TEST(TimeOracle, ParseUtcTime)
{
    for (const ParseUtcCase& c : kParseUtcCases) {
        SYSTEMTIME time = tt::Sentinel();
        EXPECT_EQ(&time, ParseUtcTime(c.text, &time)) << c.text;
        EXPECT_EQ(c.time, time) << c.text;
    }
}

TEST(TimeOracle, ParseZonedTime)
{
    for (const ParseZonedCase& c : kParseZonedCases) {
        SYSTEMTIME time = tt::Sentinel();
        EXPECT_EQ(&time, ParseZonedTime(c.text, &time)) << c.text;
        EXPECT_EQ(c.utc, time) << c.text;
    }
}

} // namespace
