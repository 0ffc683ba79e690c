// The widget in the computer's zone where that zone is west of UTC or half an hour
// off the hour, as the system reports it (not only the label's text): this program is
// built and run once per zone, with TZ set for its run (tests/engine/CMakeLists.txt;
// QUORNEL_TEST_ZONE names the zone, ZONE_SUITE the tests). Newfoundland is UTC−3:30,
// UTC−2:30 in summer; India UTC+5:30 all year; São Paulo UTC−3, and in 2010 UTC−2 in
// its summer (January), which Windows keeps per year and Wine, with today's rules
// for every year, does not.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/match_texts.h"
#include "base/widget_clock.h"
#include "base/widget_content.h"
#include "core_data.h"
#include "test_support.h"

namespace {

const ULONGLONG kMinute = kTicksPerMinute, kHour = 60 * kTicksPerMinute, kDay = 24 * kHour;

struct ZoneCase {
    const char* tz;
    LONG bias;               // the system's, west positive, outside summer time
    int june;                // the offset on 11 June 2010, minutes east of UTC
    int january[2];          // on 15 January 2010: 2010's rules, today's
    const wchar_t* label;    // in June
    const wchar_t* opening;  // South Africa — Mexico, 14:00 UTC
    const wchar_t* late;     // Uruguay — France, 18:30 UTC
    int lateDay;             // its day in June
};

const ZoneCase kZones[] = {
    { "America/St_Johns", 210, -150, { -210, -210 }, L"время: UTC\x2212" L"2:30", L"11:30", L"16:00", 11 },
    { "Asia/Kolkata", -330, 330, { 330, 330 }, L"время: UTC+5:30", L"19:30", L"00:00", 12 },
    { "America/Sao_Paulo", 180, -180, { -120, -180 }, L"время: UTC\x2212" L"3", L"11:00", L"15:30", 11 },
};

const ZoneCase* ThisZone()
{
    for (const ZoneCase& zone : kZones) {
        if (std::string(zone.tz) == QUORNEL_TEST_ZONE)
            return &zone;
    }
    return nullptr;
}

TEST(ZONE_SUITE, OffsetsKickoffsAndDaysFollowTheSystemsZone)
{
    const ZoneCase* zone = ThisZone();
    ASSERT_TRUE(zone) << QUORNEL_TEST_ZONE;
    TIME_ZONE_INFORMATION system = {};
    GetTimeZoneInformation(&system);
    ASSERT_EQ(zone->bias, system.Bias) << "TZ did not reach the test: " << zone->tz;

    UseComputersZone(true);
    ForgetZoneRules();
    const ULONGLONG june11 = Utc(2010, 6, 11, 0, 0) / kDay;
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0), late = Utc(2010, 6, 11, 18, 30);
    int minutes = 0;
    ASSERT_TRUE(ComputersZoneOffset(opening, &minutes));
    EXPECT_EQ(zone->june, minutes);
    ASSERT_TRUE(ComputersZoneOffset(Utc(2010, 1, 15, 12, 0), &minutes));
    EXPECT_TRUE(minutes == zone->january[0] || minutes == zone->january[1]) << minutes;
    wchar_t label[kCellUnits] = L"";
    EXPECT_TRUE(ShownZoneLabel(opening, label, kCellUnits));
    EXPECT_STREQ(zone->label, label);

    // The day turns at the zone's midnight, west and east of UTC alike.
    const ULONGLONG midnight = Utc(2010, 6, 11, 0, 0) - static_cast<LONGLONG>(zone->june) * kMinute;
    EXPECT_EQ(midnight, LocalDayStart(june11));
    EXPECT_EQ(june11, LocalDayNumber(midnight));
    EXPECT_EQ(june11 - 1, LocalDayNumber(midnight - 1));
    EXPECT_EQ(midnight + 18 * kHour, LocalDayHour(june11, 18));
    SYSTEMTIME local = LocalRecord(late);
    EXPECT_EQ(zone->lateDay, local.wDay);
    EXPECT_EQ(june11 + (zone->lateDay - 11), LocalDayNumber(late));

    // The widget's lines: the header's day and label, each kick-off at the zone's hour
    // on the zone's day.
    static WidgetView view;
    const TournamentData data = BuiltInData();
    BuildWidgetView(data, opening - 4 * kHour, ViewChoice{ PAGE_MATCHES, 0, false }, &view);
    ASSERT_GE(view.lineCount, 2);
    EXPECT_STREQ(L"пятница, 11 июня", view.lines[1].cell[0]);
    EXPECT_STREQ(zone->label, view.lines[1].cell[1]);
    EXPECT_EQ(std::wstring(zone->opening) + L" ЮАР — Мексика", MatchLine(view, L"ЮАР — Мексика"));
    BuildWidgetView(data, opening - 4 * kHour, ViewChoice{ PAGE_MATCHES, LocalDayNumber(late), false }, &view);
    EXPECT_EQ(std::wstring(zone->late) + L" Уругвай — Франция", MatchLine(view, L"Уругвай — Франция"));
    UseComputersZone(false);
}

} // namespace
