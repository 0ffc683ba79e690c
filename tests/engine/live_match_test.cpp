// Matches as they happen, with the engine loaded into this process as the Host loads
// it and this test as its tray window. The widget's clock is a replay whose real time
// the test sets through base.dll's import of GetSystemTimeAsFileTime, so every step
// lands on a moment of the widget's clock, never on real time: the running score and
// the scorers as a screen reader reads the match's line, its tooltip, and the
// balloons in order, as the user's preferences say.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "accessible_reader.h"
#include "base/engine_settings.h"
#include "core_data.h"
#include "engine_in_process.h"
#include "host/shared_settings.h"

namespace {

const ULONGLONG kMinute = kTicksPerMinute;

// The real time base.dll sees.
ULONGLONG s_realNow;

void WINAPI SetRealTime(FILETIME* now)
{
    now->dwLowDateTime = static_cast<DWORD>(s_realNow);
    now->dwHighDateTime = static_cast<DWORD>(s_realNow >> 32);
}

// The widget's lines as a screen reader reads them, the client object held here on
// the widget's own thread: each one's name and its centre in client coordinates.
struct Line {
    std::wstring name;
    POINT centre;
};
std::vector<Line> ReadLines(HWND widget)
{
    std::vector<Line> lines;
    IAccessible* object = qt::AccessibleClientObject(widget);
    if (!object)
        return lines;
    long count = 0;
    object->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) {
        BSTR name = nullptr;
        long x = 0, y = 0, cx = 0, cy = 0;
        if (object->get_accName(qt::AccessibleChildId(id), &name) == S_OK && name) {
            object->accLocation(&x, &y, &cx, &cy, qt::AccessibleChildId(id));
            POINT centre = { x + cx / 2, y + cy / 2 };
            ScreenToClient(widget, &centre);
            lines.push_back({ name, centre });
        }
        SysFreeString(name);
    }
    object->Release();
    return lines;
}

Line LineOf(HWND widget, const std::wstring& start)
{
    for (const Line& line : ReadLines(widget)) {
        if (line.name.compare(0, start.size(), start) == 0)
            return line;
    }
    return { L"(no line " + start + L")", { -1, -1 } };
}

// The texts of the tooltips the widget has made (after the mouse came over it).
std::vector<std::wstring> TipTexts(HWND widget)
{
    std::vector<std::wstring> texts;
    HWND tips = nullptr;
    while ((tips = FindWindowExW(nullptr, tips, TOOLTIPS_CLASSW, nullptr)) != nullptr) {
        if (GetWindow(tips, GW_OWNER) == widget)
            break;
    }
    if (!tips)
        return texts;
    LRESULT count = SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        if (!SendMessageW(tips, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)))
            continue;
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&tool));
        texts.push_back(text);
    }
    return texts;
}

struct Step {
    ULONGLONG utc;          // the moment on the widget's clock
    const wchar_t* line;    // how the match's line reads then
    const wchar_t* balloon; // the balloon that came since the last step, or null for none
    bool click = false;     // a click on the match's line first
};

struct LiveCase {
    const wchar_t* name;
    const wchar_t* start;   // the replay on the command line
    DWORD goalBalloons;     // 1 unless told
    const wchar_t* team;    // the favourite team, or null
    DWORD hideScores;
    const wchar_t* match;   // how its line begins
    std::vector<Step> steps;
};

class LiveMatch : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override
    {
        qt::DeleteTree(SETTINGS_KEY);
        CoUninitialize();
    }

    void Run(const LiveCase& c)
    {
        SCOPED_TRACE(c.name);
        qt::DeleteTree(SETTINGS_KEY);
        if (c.goalBalloons != 1)
            qt::WriteDword(SETTINGS_KEY, VALUE_GOAL_BALLOONS, c.goalBalloons);
        if (c.team)
            qt::WriteText(SETTINGS_KEY, VALUE_FAVOURITE_TEAM, c.team);
        if (c.hideScores)
            qt::WriteDword(SETTINGS_KEY, VALUE_HIDE_SCORES, c.hideScores);
        HMODULE engine = LoadLibraryW(qt::BinPath(L"base.dll").c_str());
        ASSERT_TRUE(engine);
        const ULONGLONG realStart = 133000000000000000ULL; // any real moment: only steps count
        s_realNow = realStart;
        qt::RedirectImport(engine, reinterpret_cast<void*>(&GetSystemTimeAsFileTime),
                           reinterpret_cast<void*>(&SetRealTime));
        qt::TestTray tray;
        HWND widget = qt::RunEngine(engine, tray.window, c.start);
        ASSERT_TRUE(widget);
        const ULONGLONG replayStart = c.steps[0].utc;
        size_t balloons = tray.balloons.size();
        for (const Step& step : c.steps) {
            s_realNow = realStart + (step.utc - replayStart);
            SendMessageW(widget, WM_TIMER, 1, 0); // the widget's own wake-up, come now
            if (step.click) {
                POINT at = LineOf(widget, c.match).centre;
                SendMessageW(widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
                SendMessageW(widget, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            }
            unsigned minute = static_cast<unsigned>((step.utc - replayStart) / kMinute);
            EXPECT_EQ(step.line, LineOf(widget, c.match).name) << "minute " << minute;
            std::vector<std::wstring> came(tray.balloons.begin() + static_cast<long>(balloons), tray.balloons.end());
            balloons = tray.balloons.size();
            if (step.balloon) {
                ASSERT_EQ(1u, came.size()) << "minute " << minute;
                EXPECT_EQ(step.balloon, came[0]);
            } else {
                EXPECT_TRUE(came.empty()) << "minute " << minute << ": " << (came.empty() ? L"" : came[0]);
            }
        }
        SendMessageW(widget, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1)); // the tooltips come with the mouse
        scorersTip = TipTexts(widget);
        qt::ExitEngine(engine);
        FreeLibrary(engine);
    }

    std::vector<std::wstring> scorersTip;
};

const ULONGLONG kOpening = Utc(2010, 6, 11, 14, 0), kFinal = Utc(2010, 7, 11, 18, 30);

TEST_F(LiveMatch, TheOpeningMatchScoresAtItsMomentsWithItsBalloonsInOrder)
{
    Run({ L"from before the kick-off",
          L"/date=2010-06-11T17:55",
          1,
          nullptr,
          0,
          L"18:00 ЮАР — Мексика",
          { { kOpening - 5 * kMinute, L"18:00 ЮАР — Мексика через 5 мин", nullptr },
            { kOpening + 10 * kMinute, L"18:00 ЮАР — Мексика 0:0 идёт", nullptr },
            { kOpening + 73 * kMinute, L"18:00 ЮАР — Мексика 1:0 идёт. Чабалала 55'",
              L"Гол! ЮАР — Мексика 1:0 (Чабалала, 55')" },
            { kOpening + 97 * kMinute, L"18:00 ЮАР — Мексика 1:1 идёт. Чабалала 55', Маркес 79'",
              L"Гол! ЮАР — Мексика 1:1 (Маркес, 79')" },
            { kOpening + 121 * kMinute, L"18:00 ЮАР — Мексика 1:1. Чабалала 55', Маркес 79'",
              L"Матч окончен: ЮАР — Мексика 1:1" } } });
    EXPECT_EQ(std::vector<std::wstring>{ L"Чабалала 55', Маркес 79'" }, scorersTip);
}

TEST_F(LiveMatch, StartedAfterAGoalOrAskedForAnotherTeamsItTellsNothingOfIt)
{
    Run({ L"started after the first goal",
          L"/date=2010-06-11T19:20",
          1,
          nullptr,
          0,
          L"18:00 ЮАР — Мексика",
          { { kOpening + 80 * kMinute, L"18:00 ЮАР — Мексика 1:0 идёт. Чабалала 55'", nullptr },
            { kOpening + 97 * kMinute, L"18:00 ЮАР — Мексика 1:1 идёт. Чабалала 55', Маркес 79'",
              L"Гол! ЮАР — Мексика 1:1 (Маркес, 79')" } } });
    Run({ L"only Spain's goals",
          L"/date=2010-06-11T19:20",
          2,
          L"ESP",
          0,
          L"18:00 ЮАР — Мексика",
          { { kOpening + 80 * kMinute, L"18:00 ЮАР — Мексика 1:0 идёт. Чабалала 55'", nullptr },
            { kOpening + 121 * kMinute, L"18:00 ЮАР — Мексика 1:1. Чабалала 55', Маркес 79'", nullptr } } });
}

TEST_F(LiveMatch, TheFinalsHiddenScoreShowsAfterAClickThenItsGoalAndItsEnd)
{
    Run({ L"the final, scores hidden",
          L"/date=2010-07-11T22:25",
          1,
          nullptr,
          1,
          L"22:30 ",
          // Hidden, the final names no team: they would tell the semi-finals' results.
          { { kFinal - 5 * kMinute, L"22:30 Победитель 61 — Победитель 62 через 5 мин", nullptr },
            { kFinal + 100 * kMinute,
              L"22:30 Победитель 61 — Победитель 62 ?:? идёт. Счёт скрыт: щёлкните по матчу, чтобы увидеть его",
              nullptr },
            { kFinal + 116 * kMinute, L"22:30 Нидерланды — Испания 0:0 д.в. идёт", nullptr, true },
            { kFinal + 144 * kMinute, L"22:30 Нидерланды — Испания 0:1 д.в. идёт. Иньеста 116'",
              L"Гол! Нидерланды — Испания 0:1 (Иньеста, 116')" },
            { kFinal + 161 * kMinute, L"22:30 Нидерланды — Испания 0:1 д.в. Иньеста 116'",
              L"Матч окончен: Нидерланды — Испания 0:1 д.в." } } });
}

} // namespace
