// Every list a user picks from, at its edges: the widget's menu holds each list's
// commands from the first to the last, each of those does what it names, and the
// command one past either end does nothing; the settings dialog's combo boxes the
// same with their first, last and one-past-the-end items, its minutes and opacity at
// both ends of their ranges. The engine runs in this process (widget_fixture.h).
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "accessible_reader.h"
#include "base/engine_settings.h"
#include "base/preferences.h"
#include "base/settings_dialog_ids.h"
#include "base/widget_drawing.h"
#include "test_support.h"
#include "widget_fixture.h"

using namespace qt;

namespace {

const wchar_t* const kPages[] = { L"Матчи", L"Группы", L"Плей-офф" };

// The page the widget shows, by the name in its page bar as a screen reader reads it
// (from another thread, while this one serves the widget); empty when none is seen.
std::wstring ShownPage(HWND widget)
{
    std::vector<std::wstring> texts;
    std::atomic<bool> read(false);
    std::thread reader([&] {
        texts = ReadAccessibleTexts(widget);
        read = true;
    });
    PumpUntil([&] { return read.load(); });
    reader.join();
    for (const wchar_t* page : kPages) {
        if (std::find(texts.begin(), texts.end(), page) != texts.end())
            return page;
    }
    return L"";
}

TEST_F(WidgetInProcess, TheMenusListsRunFromFirstToLastAndOnePastTheEndDoesNothing)
{
    Run();
    AnswerMenus(engine);
    SendMessageW(widget, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    std::vector<UINT> expected = { CMD_PAGE_FIRST, CMD_PAGE_FIRST + 1, CMD_PAGE_FIRST + 2, CMD_DAY_PREVIOUS,
                                   CMD_DAY_NEXT, CMD_DAY_TODAY, CMD_SKIN_FIRST, CMD_SKIN_FIRST + 1,
                                   CMD_SKIN_FIRST + 2, CMD_WALLPAPER, CMD_TEAM_NONE };
    for (int team = 0; team < kTeamCount; ++team)
        expected.push_back(CMD_TEAM_FIRST + team);
    for (UINT command : std::vector<UINT>{ CMD_GOAL_BALLOONS_FIRST, CMD_GOAL_BALLOONS_FIRST + 1,
                                           CMD_GOAL_BALLOONS_FIRST + 2, CMD_HIDE_SCORES, CMD_LAYER_FIRST,
                                           CMD_LAYER_FIRST + 1, CMD_LAYER_FIRST + 2, CMD_LOCK, CMD_SETTINGS, 0,
                                           CMD_UPDATE_CHECK, CMD_DOWNLOAD_NOW, 0 })
        expected.push_back(command); // the zeros: the updates' and the data's state lines
    EXPECT_EQ(expected, g_menu.ids); // the built-in data list the teams group by group

    // Each command as the menu gives it, and those beside the lists.
    const struct {
        UINT command;
        const wchar_t* value; // the stored value it changes; null: the page shown
        DWORD number;         // what it holds (a DWORD value) after the command
        const wchar_t* text;  // or the text (the team's code, the page's name)
    } steps[] = {
        { CMD_PAGE_FIRST + 2, nullptr, 0, L"Плей-офф" },
        { CMD_PAGE_FIRST + 3, nullptr, 0, L"Плей-офф" },
        { CMD_PAGE_FIRST, nullptr, 0, L"Матчи" },
        { CMD_PAGE_FIRST - 1, nullptr, 0, L"Матчи" },
        { CMD_SKIN_FIRST + 2, VALUE_WIDGET_SKIN, 2, nullptr },
        { CMD_SKIN_FIRST + 3, VALUE_WIDGET_SKIN, 2, nullptr },
        { CMD_SKIN_FIRST, VALUE_WIDGET_SKIN, 0, nullptr },
        { CMD_SKIN_FIRST - 1, VALUE_WIDGET_SKIN, 0, nullptr },
        { CMD_TEAM_FIRST, VALUE_FAVOURITE_TEAM, 0, L"RSA" },
        { CMD_TEAM_FIRST + kTeamCount - 1, VALUE_FAVOURITE_TEAM, 0, L"CHI" },
        { CMD_TEAM_FIRST + kTeamCount, VALUE_FAVOURITE_TEAM, 0, L"CHI" },
        { CMD_TEAM_NONE, VALUE_FAVOURITE_TEAM, 0, L"" },
        { CMD_TEAM_NONE - 1, VALUE_FAVOURITE_TEAM, 0, L"" },
        { CMD_LAYER_FIRST + LAYER_COUNT - 1, VALUE_WIDGET_LAYER, LAYER_TOPMOST, nullptr },
        { CMD_LAYER_FIRST + LAYER_COUNT, VALUE_WIDGET_LAYER, LAYER_TOPMOST, nullptr },
        { CMD_LAYER_FIRST, VALUE_WIDGET_LAYER, LAYER_DESKTOP, nullptr },
        { CMD_LAYER_FIRST - 1, VALUE_WIDGET_LAYER, LAYER_DESKTOP, nullptr },
        { CMD_GOAL_BALLOONS_FIRST + GOAL_BALLOONS_COUNT - 1, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_MY_TEAM, nullptr },
        { CMD_GOAL_BALLOONS_FIRST, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_OFF, nullptr },
        { CMD_GOAL_BALLOONS_FIRST - 1, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_OFF, nullptr },
    };
    for (const auto& step : steps) {
        SendMessageW(widget, WM_COMMAND, step.command, 0);
        if (!step.value)
            EXPECT_EQ(step.text, ShownPage(widget)) << step.command;
        else if (step.text)
            EXPECT_EQ(step.text, ReadValue(SETTINGS_KEY, step.value).Text()) << step.command;
        else
            EXPECT_EQ(step.number, StoredDword(step.value)) << step.command;
    }
}

TEST_F(WidgetInProcess, TheDialogsListsTakeTheirFirstAndLastItemsAndNothingBeyond)
{
    Run();
    SendMessageW(widget, WM_COMMAND, CMD_SETTINGS, 0);
    HWND dialog = SettingsDialog();
    ASSERT_TRUE(dialog);
    ASSERT_EQ(1 + kTeamCount, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCOUNT, 0, 0));
    ASSERT_EQ(LAYER_COUNT, SendDlgItemMessageW(dialog, IDC_LAYER, CB_GETCOUNT, 0, 0));
    const struct {
        int id;
        LRESULT item;      // -1: none selected
        const wchar_t* value;
        DWORD number;      // the stored DWORD after the choice
        const wchar_t* code; // or the stored team
    } steps[] = {
        { IDC_TEAM, 1, VALUE_FAVOURITE_TEAM, 0, L"RSA" },
        { IDC_TEAM, kTeamCount, VALUE_FAVOURITE_TEAM, 0, L"CHI" },
        { IDC_TEAM, kTeamCount + 1, VALUE_FAVOURITE_TEAM, 0, L"CHI" },
        { IDC_TEAM, -1, VALUE_FAVOURITE_TEAM, 0, L"CHI" },
        { IDC_TEAM, 0, VALUE_FAVOURITE_TEAM, 0, L"" },
        { IDC_LAYER, LAYER_COUNT - 1, VALUE_WIDGET_LAYER, LAYER_TOPMOST, nullptr },
        { IDC_LAYER, LAYER_COUNT, VALUE_WIDGET_LAYER, LAYER_TOPMOST, nullptr },
        { IDC_LAYER, -1, VALUE_WIDGET_LAYER, LAYER_TOPMOST, nullptr },
        { IDC_LAYER, 0, VALUE_WIDGET_LAYER, LAYER_DESKTOP, nullptr },
        { IDC_GOAL_BALLOONS, GOAL_BALLOONS_COUNT - 1, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_MY_TEAM, nullptr },
        { IDC_GOAL_BALLOONS, GOAL_BALLOONS_COUNT, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_MY_TEAM, nullptr },
        { IDC_GOAL_BALLOONS, 0, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_OFF, nullptr },
    };
    for (const auto& step : steps) {
        SelectItem(dialog, step.id, step.item);
        if (step.code)
            EXPECT_EQ(step.code, StoredTeam()) << step.id << " item " << step.item;
        else
            EXPECT_EQ(step.number, StoredDword(step.value)) << step.id << " item " << step.item;
    }

    // The minutes typed and the opacity's track bar at both ends of their ranges and
    // one beyond: what is beyond is not taken (the track bar holds it at its end).
    const struct {
        const wchar_t* minutes;
        DWORD stored;
    } typed[] = { { L"5", 5 }, { L"4", 5 }, { L"120", 120 }, { L"121", 120 }, { L"0", 120 }, { L"6", 6 } };
    for (const auto& t : typed) {
        SetDlgItemTextW(dialog, IDC_REMIND_MINUTES, t.minutes);
        EXPECT_EQ(t.stored, StoredDword(VALUE_REMINDER_MINUTES)) << WideToUtf8(t.minutes);
    }
    const struct {
        LPARAM position;
        DWORD stored;
    } slid[] = { { 20, 20 }, { 100, 100 }, { 19, 20 }, { 101, 100 }, { 21, 21 } };
    for (const auto& t : slid) {
        SendDlgItemMessageW(dialog, IDC_OPACITY, TBM_SETPOS, TRUE, t.position);
        SendMessageW(dialog, WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_OPACITY)));
        EXPECT_EQ(t.stored, StoredDword(VALUE_WIDGET_OPACITY)) << t.position;
    }
}

} // namespace
