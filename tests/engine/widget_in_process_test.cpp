// The engine loaded into this process as the Host loads it, this test standing in
// for its tray window, driven as a user and the system would drive it, where only
// the engine's own state can show what went wrong: the team lists after a download
// that orders the teams otherwise; a raised widget and its own menu; the minutes
// field while the user types; the user's place while its monitor is away; a change
// of DPI, with the system's suggested rectangle and without, and during a drag.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/engine_settings.h"
#include "base/settings_dialog_ids.h"
#include "base/widget_drawing.h"
#include "host/engine_interface.h"
#include "test_support.h"
#include "widget_fixture.h"

using namespace qt;

namespace {

const SYSTEMTIME kJune12 = { 2010, 6, 6, 12, 10, 0, 0, 0 };
const SYSTEMTIME kJune13 = { 2010, 6, 0, 13, 10, 0, 0, 0 };
const wchar_t kUpdated[] = L"Данные обновлены";
const char kTeamsHeader[] = "code,group,name_en,name_ru\n";

// The data file with the first `by` lines of its team table moved to the end: the
// same teams in the same groups, in another order.
std::string RotatedTeams(int by)
{
    std::string data = SourceFile("data/worldcup2010/worldcup2010.csv");
    size_t first = data.find(kTeamsHeader) + sizeof(kTeamsHeader) - 1, cut = first;
    for (int i = 0; i < by; ++i)
        cut = data.find('\n', cut) + 1;
    size_t end = data.find("\n\n", first) + 1;
    return data.substr(0, first) + data.substr(cut, end - cut) + data.substr(first, cut - first) + data.substr(end);
}

// The file's teams as "A — ЮАР", group by group, each group's in the file's order.
std::vector<std::wstring> TeamsByGroup(const std::string& data)
{
    std::vector<std::wstring> listed;
    for (char group = 'A'; group <= 'H'; ++group) {
        size_t at = data.find(kTeamsHeader) + sizeof(kTeamsHeader) - 1;
        for (size_t end; (end = data.find('\n', at)) != at; at = end + 1) {
            std::string line = data.substr(at, end - at);
            if (line[4] == group)
                listed.push_back(std::wstring(1, group) + L" — " + Utf8ToWide(line.substr(line.rfind(',') + 1)));
        }
    }
    return listed;
}

// A second monitor right of Wine's one, there while `s_docked` holds: base.dll's
// MonitorFromRect and GetMonitorInfoW come here.
bool s_docked;
const RECT kExternal = { 1024, 0, 1024 + 1280, 1024 };
const HMONITOR kExternalMonitor = reinterpret_cast<HMONITOR>(static_cast<ULONG_PTR>(0x5EC0));
decltype(&MonitorFromRect) real_MonitorFromRect = &MonitorFromRect;
decltype(&GetMonitorInfoW) real_GetMonitorInfoW = &GetMonitorInfoW;

LONG Area(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) ? (both.right - both.left) * (both.bottom - both.top) : 0;
}

HMONITOR WINAPI DockedMonitorFromRect(LPCRECT area, DWORD flags)
{
    RECT screen = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    if (s_docked && Area(*area, kExternal) > Area(*area, screen))
        return kExternalMonitor;
    return real_MonitorFromRect(area, flags);
}

BOOL WINAPI DockedGetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info)
{
    if (monitor != kExternalMonitor)
        return real_GetMonitorInfoW(monitor, info);
    if (!s_docked)
        return FALSE;
    info->rcMonitor = info->rcWork = kExternal;
    info->dwFlags = 0;
    return TRUE;
}

// A downloaded file may list the teams in any order. The dialog's list and the menu's
// columns stay group by group; what the user picks is the team the line named, also
// when a download changes the order while the dialog or the menu is open.
TEST_F(WidgetInProcess, TheTeamListsFollowTheDataInUseWhateverOrderItGives)
{
    const std::string builtIn = SourceFile("data/worldcup2010/worldcup2010.csv"), rotated = RotatedTeams(1);
    ASSERT_NE(TeamsByGroup(builtIn), TeamsByGroup(rotated));
    ASSERT_TRUE(servers.Start(L"team_order"));
    ASSERT_TRUE(servers.Serve(L"rotated.csv", rotated, kJune12));
    ASSERT_TRUE(servers.Serve(L"draw.csv", builtIn, kJune13));
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/rotated.csv"));
    Run();

    // Opened on the built-in data: the download at start is taken only once its
    // report is pumped.
    SendMessageW(widget, WM_COMMAND, CMD_SETTINGS, 0);
    HWND dialog = SettingsDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TeamsByGroup(builtIn), ListedTeams(dialog));
    SelectTeam(dialog, L"H — Испания");
    EXPECT_EQ(L"ESP", StoredTeam());
    ASSERT_TRUE(Balloons(1));
    EXPECT_EQ(kUpdated, tray.balloons[0]);
    EXPECT_EQ(TeamsByGroup(rotated), ListedTeams(dialog)) << "the list was not made anew";
    EXPECT_EQ(L"H — Испания", SelectedTeam(dialog));
    SelectTeam(dialog, L"B — Аргентина");
    EXPECT_EQ(L"ARG", StoredTeam());

    // The menu: a column per group as the data in use have it; Spain picked while a
    // download brings the draw's order back.
    AnswerMenus(engine);
    g_pick = L"Испания";
    g_whileOpen = [&] {
        WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/draw.csv"));
        SendMessageW(widget, WM_ENGINE_PROXY_CLOSED, 0, 0);
        EXPECT_TRUE(Balloons(2)) << "no second download";
    };
    SendMessageW(widget, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    std::vector<std::vector<std::wstring>> columns;
    for (const std::wstring& team : TeamsByGroup(rotated)) {
        if (columns.empty() || columns.back().size() == 4)
            columns.emplace_back();
        columns.back().push_back(team.substr(4));
    }
    EXPECT_EQ(columns, g_menu.teamColumns);
    EXPECT_EQ(L"Аргентина", g_menu.checkedTeam);
    EXPECT_EQ(L"ESP", StoredTeam()) << "the menu stored another team than the one it named";
    EXPECT_EQ(TeamsByGroup(builtIn), ListedTeams(dialog));
    EXPECT_EQ(L"H — Испания", SelectedTeam(dialog));
}

// Raised by the tray's double-click, the widget stays above the user's windows until
// the user activates another one; its own menu, opened and closed meanwhile, does not
// send it down.
TEST_F(WidgetInProcess, ItsOwnMenuLeavesARaisedWidgetRaised)
{
    Run();
    HWND user = CreateWindowExW(0, L"STATIC", L"user's work", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(user);
    SetForegroundWindow(user);
    ASSERT_TRUE(PumpUntil([&] { return Above(user, widget); }));
    SendMessageW(widget, WM_ENGINE_TRAY_DBLCLK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return Above(widget, user); }));

    AnswerMenus(engine);
    for (const wchar_t* pick : { L"", L"Испания" }) { // closed without a choice, then with one
        g_pick = pick;
        SendMessageW(widget, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(Above(widget, user)) << "sent down by its menu, " << WideToUtf8(pick);
    }
    EXPECT_EQ(L"ESP", StoredTeam());

    // The user activates another window: down it goes.
    SetForegroundWindow(user);
    EXPECT_TRUE(PumpUntil([&] { return Above(user, widget); }));
    DestroyWindow(user);
}

// What the user is typing into the minutes field stays while the field has the
// focus: a download and a menu change meanwhile leave half a number alone. Leaving
// the field shows what is in effect.
TEST_F(WidgetInProcess, TheMinutesBeingTypedStayThroughADownloadAndAMenuChange)
{
    ASSERT_TRUE(servers.Start(L"minutes_typed"));
    ASSERT_TRUE(servers.Serve(L"fresh.csv", DataWithScore("1,3"), kJune12));
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    Run();
    SendMessageW(widget, WM_COMMAND, CMD_SETTINGS, 0);
    HWND dialog = SettingsDialog();
    ASSERT_TRUE(dialog);
    HWND minutes = GetDlgItem(dialog, IDC_REMIND_MINUTES);
    SetFocus(minutes);
    ASSERT_EQ(minutes, GetFocus());
    auto stored = [] {
        RegValue value = ReadValue(SETTINGS_KEY, VALUE_REMINDER_MINUTES);
        return value.data.size() == 4 ? *reinterpret_cast<const DWORD*>(value.data.data()) : 0xFFFFFFFF;
    };

    SetWindowTextW(minutes, L"1"); // on the way to 12: out of range, not taken yet
    EXPECT_EQ(0xFFFFFFFF, stored());
    ASSERT_TRUE(Balloons(1)); // the download at start, taken now
    EXPECT_EQ(kUpdated, tray.balloons[0]);
    EXPECT_EQ(L"1", WindowText(minutes)) << "a download took the typing away";
    SendMessageW(widget, WM_COMMAND, CMD_LOCK, 0);
    EXPECT_TRUE(SendDlgItemMessageW(dialog, IDC_LOCKED, BM_GETCHECK, 0, 0) == BST_CHECKED);
    EXPECT_EQ(L"1", WindowText(minutes)) << "a menu change took the typing away";
    SetWindowTextW(minutes, L"12");
    EXPECT_EQ(12u, stored());

    // A number out of range when the focus leaves: what is in effect comes back.
    SetWindowTextW(minutes, L"3");
    SetFocus(GetDlgItem(dialog, IDC_LOCKED));
    EXPECT_EQ(L"12", WindowText(minutes));
    // Without the focus, the field follows a change made elsewhere at once.
    WriteDword(SETTINGS_KEY, VALUE_REMINDER_MINUTES, 30);
    SendMessageW(widget, WM_COMMAND, CMD_LOCK, 0); // everything is read back after a change
    EXPECT_EQ(L"30", WindowText(minutes));
}

// The user's place on a second monitor stays the user's while that monitor is away
// (a laptop undocked): the widget stands on the remaining one meanwhile, the place is
// not saved over at the end, and the widget goes back there once the monitor is back.
// A drag makes a new place the user's.
TEST_F(WidgetInProcess, TheUsersPlaceIsKeptWhileItsMonitorIsAway)
{
    const RECT screen = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    auto dock = [&](bool docked) {
        s_docked = docked;
        SendMessageW(widget, WM_DISPLAYCHANGE, 32, MAKELPARAM(screen.right, screen.bottom));
    };
    auto place = [&] {
        RECT bounds = {};
        GetWindowRect(widget, &bounds);
        return std::make_pair(bounds.left, bounds.top);
    };
    auto onScreen = [&] {
        RECT bounds = {}, inside;
        GetWindowRect(widget, &bounds);
        return IntersectRect(&inside, &bounds, &screen) && EqualRect(&inside, &bounds);
    };
    auto stored = [] {
        RegValue left = ReadValue(SETTINGS_KEY, VALUE_WIDGET_LEFT), top = ReadValue(SETTINGS_KEY, VALUE_WIDGET_TOP);
        return std::make_pair(left.data.size() == 4 ? *reinterpret_cast<const LONG*>(left.data.data()) : -1,
                              top.data.size() == 4 ? *reinterpret_cast<const LONG*>(top.data.data()) : -1);
    };
    auto redirect = [&] {
        RedirectImport(engine, reinterpret_cast<void*>(real_MonitorFromRect),
                       reinterpret_cast<void*>(&DockedMonitorFromRect));
        RedirectImport(engine, reinterpret_cast<void*>(real_GetMonitorInfoW),
                       reinterpret_cast<void*>(&DockedGetMonitorInfoW));
    };
    const std::pair<LONG, LONG> users = { 1400, 100 };
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, users.first);
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_TOP, users.second);
    s_docked = true;
    redirect();
    Run();
    EXPECT_EQ(users, place());

    // Undocked: on the laptop's screen, and the end keeps the user's place stored.
    dock(false);
    EXPECT_TRUE(onScreen());
    ASSERT_NO_FATAL_FAILURE(Reload());
    EXPECT_EQ(users, stored()) << "saved over the user's place";

    // Started undocked, then docked: back at the user's place.
    redirect();
    Run();
    EXPECT_TRUE(onScreen());
    dock(true);
    EXPECT_EQ(users, place()) << "not back once its monitor is";

    // Undocked again, then dragged by the user: that place is the user's now.
    dock(false);
    ASSERT_TRUE(onScreen());
    std::pair<LONG, LONG> before = place();
    SendMessageW(widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 40)); // on the title
    SendMessageW(widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120 - 50, 40 + 30));
    SendMessageW(widget, WM_LBUTTONUP, 0, MAKELPARAM(120 - 50, 40 + 30));
    const std::pair<LONG, LONG> dragged = { before.first - 50, before.second + 30 };
    EXPECT_EQ(dragged, place());
    dock(true);
    EXPECT_EQ(dragged, place()) << "a place the user chose since was left for the old one";
    ASSERT_NO_FATAL_FAILURE(Reload());
    EXPECT_EQ(dragged, stored());
    s_docked = false;
}

// A change of DPI places the widget as the system suggests, when the suggestion is the
// system's own record (on this thread's stack: Wine never sends the message, so the
// test sends it as Windows does). A rectangle elsewhere, or a value that is no record,
// is not read: the widget keeps its centre. A drag under way keeps the grabbed point
// under the cursor at the new scale.
TEST_F(WidgetInProcess, ANewDpiTakesTheSystemsRectangleAndRescalesADrag)
{
    Run();
    const RECT at96 = Bounds(widget);
    const SIZE size96 = { at96.right - at96.left, at96.bottom - at96.top };
    auto centre = [](const RECT& r) { return std::make_pair((r.left + r.right) / 2, (r.top + r.bottom) / 2); };

    // The system's record: taken, a place neither the old corner nor the old centre.
    RECT suggested = { 40, 30, 40 + MulDiv(size96.cx, 144, 96), 30 + MulDiv(size96.cy, 144, 96) };
    SendMessageW(widget, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT at144 = Bounds(widget);
    EXPECT_EQ(40, at144.left);
    EXPECT_EQ(30, at144.top);
    EXPECT_NEAR(MulDiv(size96.cx, 144, 96), at144.right - at144.left, 2);

    // The same rectangle on the heap, as another program's pointer would be: not read.
    RECT* elsewhere = new RECT{ 0, 0, at96.right - at96.left, at96.bottom - at96.top };
    SendMessageW(widget, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(elsewhere));
    RECT back = Bounds(widget);
    EXPECT_NEAR(centre(at144).first, centre(back).first, 1) << "the centre moved";
    EXPECT_NEAR(centre(at144).second, centre(back).second, 1);
    EXPECT_EQ(size96.cx, back.right - back.left);
    delete elsewhere;
    // No record at all, and a suggestion of another size: the centre stays too.
    RECT wrongSize = { 0, 0, 20, 20 };
    for (LPARAM value : { static_cast<LPARAM>(0x10), static_cast<LPARAM>(0), reinterpret_cast<LPARAM>(&wrongSize) }) {
        for (UINT dpi : { 120u, 96u }) {
            RECT before = Bounds(widget);
            SendMessageW(widget, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), value);
            RECT after = Bounds(widget);
            EXPECT_NEAR(centre(before).first, centre(after).first, 1) << dpi; // a pixel rounds
            EXPECT_NEAR(centre(before).second, centre(after).second, 1) << dpi;
        }
    }

    // A drag from the point (20, 40) at 96 DPI goes on at 144: the same point of the
    // widget, now at (30, 60), stays under the cursor.
    back = Bounds(widget);
    SendMessageW(widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 40));
    RECT during = { back.left + 5, back.top + 5, back.left + 5 + MulDiv(size96.cx, 144, 96),
                    back.top + 5 + MulDiv(size96.cy, 144, 96) };
    SendMessageW(widget, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&during));
    EXPECT_EQ(back.left + 5, Bounds(widget).left);
    POINT cursor = { 100, 100 };
    ClientToScreen(widget, &cursor);
    SendMessageW(widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 100));
    EXPECT_EQ(cursor.x - 30, Bounds(widget).left) << "the grabbed point in the old scale";
    EXPECT_EQ(cursor.y - 60, Bounds(widget).top);
    SendMessageW(widget, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
}

} // namespace
