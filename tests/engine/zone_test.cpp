// The widget in the computer's zone, run with TZ=Asia/Yekaterinburg
// (tests/engine/CMakeLists.txt), which the Host started from here inherits: compiled
// into the test, kick-offs, the header's day and label and the match day follow that
// zone, and the fixed zone comes back when chosen; the installed widget takes the
// choice from the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "accessible_reader.h"
#include "base/engine_settings.h"
#include "base/widget_clock.h"
#include "base/widget_content.h"
#include "core_data.h"
#include "test_support.h"

namespace {

const ULONGLONG kHour = 60 * kTicksPerMinute;

std::wstring Zone(ULONGLONG utc)
{
    wchar_t label[kCellUnits] = L"x";
    EXPECT_TRUE(ShownZoneLabel(utc, label, kCellUnits));
    return label;
}

TEST(ComputersZone, YekaterinburgKickoffsDayAndLabelThenMoscowAgain)
{
    const TournamentData data = BuiltInData();
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0), late = Utc(2010, 6, 11, 18, 30); // Uruguay — France
    const ULONGLONG june11 = Utc(2010, 6, 11, 0, 0) / (24 * kHour);
    static WidgetView view;
    UseComputersZone(true);
    ForgetZoneRules();

    // Windows keeps 2010's rules: UTC+6 that summer. Wine applies today's to every
    // year: UTC+5. Either passes, as long as every text agrees with the one label.
    BuildWidgetView(data, opening - 4 * kHour, ViewChoice{ PAGE_MATCHES, 0, false }, &view);
    ASSERT_GE(view.lineCount, 2);
    EXPECT_STREQ(L"пятница, 11 июня", view.lines[1].cell[0]);
    const std::wstring label = view.lines[1].cell[1];
    ASSERT_TRUE(label == L"время: UTC+6" || label == L"время: UTC+5") << qt::WideToUtf8(label);
    const bool rulesOf2010 = label == L"время: UTC+6";
    EXPECT_EQ(rulesOf2010 ? L"20:00 ЮАР — Мексика" : L"19:00 ЮАР — Мексика", MatchLine(view, L"ЮАР — Мексика"));
    // 22:30 in Moscow: 00:30 the next day in Yekaterinburg that summer.
    EXPECT_EQ(rulesOf2010 ? L"none" : L"23:30 Уругвай — Франция", MatchLine(view, L"Уругвай — Франция"));
    EXPECT_EQ(june11 + (rulesOf2010 ? 1 : 0), LocalDayNumber(late));
    BuildWidgetView(data, opening - 4 * kHour, ViewChoice{ PAGE_MATCHES, LocalDayNumber(late), false }, &view);
    EXPECT_EQ(rulesOf2010 ? L"00:30 Уругвай — Франция" : L"23:30 Уругвай — Франция", MatchLine(view, L"Уругвай — Франция"));
    // The day turns at the zone's midnight.
    const ULONGLONG midnight = Utc(2010, 6, 11, 0, 0) - (rulesOf2010 ? 6 : 5) * kHour;
    EXPECT_EQ(june11, LocalDayNumber(midnight));
    EXPECT_EQ(june11 - 1, LocalDayNumber(midnight - 1));
    EXPECT_EQ(midnight, LocalDayStart(june11));
    // The label is the offset of the moment's own season: no summer time in January.
    EXPECT_EQ(L"время: UTC+5", Zone(Utc(2010, 1, 15, 12, 0)));

    UseComputersZone(false);
    BuildWidgetView(data, opening - 4 * kHour, ViewChoice{ PAGE_MATCHES, 0, false }, &view);
    EXPECT_STREQ(L"", view.lines[1].cell[1]);
    EXPECT_EQ(L"18:00 ЮАР — Мексика", MatchLine(view, L"ЮАР — Мексика"));
    EXPECT_EQ(L"22:30 Уругвай — Франция", MatchLine(view, L"Уругвай — Франция"));
    EXPECT_EQ(june11, LocalDayNumber(late));
}

// The Host with the real engine, `time_zone` set: the header names the zone and the
// opening match kicks off at Yekaterinburg's hour; unset, Moscow's again. "/date="
// stays Moscow time (12:00 there).
TEST(ComputersZone, TheWidgetShowsTheComputersTimeWhenChosen)
{
    HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    qt::DeleteTree(SETTINGS_KEY);
    qt::WriteDword(SETTINGS_KEY, VALUE_TIME_ZONE, 1);
    auto texts = [](const wchar_t* name) {
        qt::HostRun run;
        EXPECT_TRUE(qt::StartWidgetHost(run, name, L"/date=2010-06-11T12:00"));
        std::vector<std::wstring> read = qt::ReadAccessibleTexts(run.widget);
        DWORD code = 1;
        EXPECT_TRUE(qt::ExitHost(run, &code));
        qt::CleanUpHost(run);
        return read;
    };
    auto has = [](const std::vector<std::wstring>& lines, const std::wstring& start) {
        for (const std::wstring& line : lines) {
            if (line.compare(0, start.size(), start) == 0)
                return true;
        }
        return false;
    };
    // Windows with 2010's rules, or Wine with today's (see above).
    std::vector<std::wstring> shown = texts(L"zone_computer");
    const bool rulesOf2010 = has(shown, L"пятница, 11 июня время: UTC+6");
    EXPECT_TRUE(rulesOf2010 || has(shown, L"пятница, 11 июня время: UTC+5")) << qt::WideToUtf8(shown.size() > 2 ? shown[1] + L"|" + shown[2] : L"");
    EXPECT_TRUE(has(shown, rulesOf2010 ? L"20:00 ЮАР — Мексика" : L"19:00 ЮАР — Мексика"));

    qt::WriteDword(SETTINGS_KEY, VALUE_TIME_ZONE, 0);
    shown = texts(L"zone_moscow");
    EXPECT_TRUE(has(shown, L"18:00 ЮАР — Мексика"));
    EXPECT_FALSE(has(shown, L"пятница, 11 июня время"));
    qt::DeleteTree(SETTINGS_KEY);
    if (SUCCEEDED(apartment))
        CoUninitialize();
}

} // namespace
