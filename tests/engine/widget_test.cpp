// The real Host with the real engine in a Wine desktop, driven from outside as the
// shell and the user would: where the widget stands, skins, collapse, the tray's
// double-click, its remembered place, and the user's preferences from the registry,
// its menu and its settings dialog. Wine draws z-order and activation its own way
// (../shared notes), so these tests read the Win32 state, not the screen, except for
// one pixel that tells the skins apart.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "accessible_reader.h"
#include "test_support.h"
#include "base/engine_settings.h"
#include "base/preferences.h"
#include "base/settings_dialog_ids.h"
#include "base/widget_drawing.h"
#include "host/engine_interface.h"
#include "host/host_resources.h"

using namespace qt;

namespace {


RECT Bounds(HWND window)
{
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    return bounds;
}

// The work area as the Host sees it. Wine bends here: a process keeps the work area
// it first read, and the Host reads it before the desktop's taskbar appears (which
// Wine shows only once a tray icon exists), so the whole screen stands for it.
RECT WorkArea()
{
    RECT screen = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    return screen;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

DWORD StoredDword(const wchar_t* name)
{
    RegValue value = ReadValue(SETTINGS_KEY, name);
    return value.type == REG_DWORD && value.data.size() == 4 ? *reinterpret_cast<const DWORD*>(value.data.data())
                                                             : 0xFFFFFFFF;
}

// The colour of the widget's background just inside its right edge, half-way down
// (the stripes of one skin never reach there), as the screen shows it.
COLORREF BackgroundPixel(HWND widget)
{
    RECT bounds = Bounds(widget);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, bounds.right - 4, (bounds.top + bounds.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

// Waits until the engine has handled everything sent before (its window answers).
void Settle(HWND window)
{
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    Sleep(300); // the desktop repaints what changed
}

// The background's colour once the screen shows `expected` (the engine paints when
// its queue is empty, and the desktop after that: later on a busy machine), or the
// colour it shows at the end of the wait.
COLORREF BackgroundBecomes(HWND widget, COLORREF expected)
{
    COLORREF seen = BackgroundPixel(widget);
    WaitUntil([&] { return (seen = BackgroundPixel(widget)) == expected; });
    return seen;
}

// The background's colour once the screen shows another than `before`.
COLORREF BackgroundOtherThan(HWND widget, COLORREF before)
{
    COLORREF seen = before;
    WaitUntil([&] { return (seen = BackgroundPixel(widget)) != before; });
    return seen;
}

bool Topmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// The window's constant alpha; 255 for a window that is not layered.
int Alpha(HWND window)
{
    if (!(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED))
        return 255;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return -1;
    return alpha;
}

LRESULT MouseActivation(HWND window)
{
    return SendMessageW(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
}

// The settings dialogs of the Host's process, visible ones.
std::vector<HWND> SettingsDialogs(DWORD process)
{
    std::vector<HWND> found;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process && IsWindowVisible(w) && GetDlgItem(w, IDC_OPACITY))
            found.push_back(w);
    }
    return found;
}

// A user's choice in a combo box, as the dialog learns of it.
void Select(HWND dialog, int id, int item)
{
    HWND box = GetDlgItem(dialog, id);
    SendMessageW(box, CB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

void Click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class Widget : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(SETTINGS_KEY); }
    void TearDown() override
    {
        CleanUpHost(run);
        DeleteTree(SETTINGS_KEY);
    }
    void Start(const wchar_t* name, const wchar_t* tail = L"/date=2010-06-20T12:00")
    {
        ASSERT_TRUE(StartWidgetHost(run, name, tail));
        Settle(run.widget);
    }
    void Restart(const wchar_t* name)
    {
        DWORD exitCode = 1;
        ASSERT_TRUE(ExitHost(run, &exitCode));
        EXPECT_EQ(0u, exitCode);
        Start(name);
    }
    // A command of the widget's menu, handled when the call returns.
    void SendCommand(WORD command) { SendMessageW(run.widget, WM_COMMAND, command, 0); }
    HostRun run;
};

TEST_F(Widget, StandsOnTheDesktopBelowOtherWindowsWithoutTaskbarButtonOrFocus)
{
    Start(L"widget_desktop");
    // Owned (Wine has no shell window, so by the Host's tray window) and a tool
    // window: no taskbar button, not in Alt+Tab.
    EXPECT_TRUE(GetWindow(run.widget, GW_OWNER));
    EXPECT_TRUE(GetWindowLongPtrW(run.widget, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongPtrW(run.widget, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(run.widget));
    // The first time: at the top right of the primary monitor's work area.
    RECT bounds = Bounds(run.widget), work = WorkArea();
    EXPECT_TRUE(Inside(bounds, work));
    EXPECT_GT(bounds.left, (work.left + work.right) / 2);
    EXPECT_LT(bounds.top, (work.top + work.bottom) / 4);

    // A window of the user's, shown after the widget, stays above it.
    HWND user = CreateWindowExW(0, L"STATIC", L"user's work", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(user);
    SetForegroundWindow(user);
    MSG message;
    for (int i = 0; i < 20 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i)
        DispatchMessageW(&message);
    bool userFirst = false;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == user)
            userFirst = true;
        if (w == run.widget)
            break;
    }
    EXPECT_TRUE(userFirst) << "the widget stands above the user's window";
    // A click never activates it.
    EXPECT_EQ(MA_NOACTIVATE, SendMessageW(run.widget, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(run.widget),
                                          MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)));
    DestroyWindow(user);
}

// Lets the test's own windows take their messages while it waits.
template <class F> bool PumpUntil(F predicate)
{
    return WaitUntil([&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        return predicate();
    });
}

HWND UsersWindow(const wchar_t* title, int left)
{
    HWND window = CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, left, 100, 300, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    return window;
}

TEST_F(Widget, OnTheDesktopItRefusesToBeRaisedButTheTrayDoubleClickRaisesItForAWhile)
{
    Start(L"widget_below");
    HWND user = UsersWindow(L"user's work", 100);
    ASSERT_TRUE(user);
    ASSERT_TRUE(PumpUntil([&] { return Above(user, run.widget); }));

    // Another program raises it, even to the topmost band: it stays below.
    SetWindowPos(run.widget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(user, run.widget)) << "raised by another program";
    SetWindowPos(run.widget, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(user, run.widget)) << "made topmost by another program";
    EXPECT_FALSE(GetWindowLongPtrW(run.widget, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // The tray's double-click brings it above...
    SendMessageW(run.tray, WM_TRAY_CALLBACK, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(PumpUntil([&] { return Above(run.widget, user); }));
    // ...until the user activates another window: then it goes back below.
    HWND next = UsersWindow(L"user's next window", 300);
    ASSERT_TRUE(next);
    EXPECT_TRUE(PumpUntil([&] { return Above(next, run.widget) && Above(user, run.widget); }));
    // And it refuses to be raised again.
    SetWindowPos(run.widget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(user, run.widget));
    DestroyWindow(next);
    DestroyWindow(user);
}

TEST_F(Widget, SkinsCycleAndTheChoiceIsRemembered)
{
    Start(L"widget_skins");
    COLORREF first = BackgroundOtherThan(run.widget, GetSysColor(COLOR_DESKTOP)); // once it is on the screen
    COLORREF seen[3] = { first };
    for (int i = 1; i <= 3; ++i) {
        SendMessageW(run.tray, WM_COMMAND, IDM_SWITCH_SKIN, 0);
        Settle(run.widget);
        EXPECT_EQ(static_cast<DWORD>(i % 3), StoredDword(VALUE_WIDGET_SKIN));
        if (i < 3)
            seen[i] = BackgroundOtherThan(run.widget, seen[i - 1]);
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    EXPECT_NE(seen[0], seen[2]);
    EXPECT_EQ(first, BackgroundBecomes(run.widget, first)) << "three switches lead back to the first skin";

    SendMessageW(run.tray, WM_COMMAND, IDM_SWITCH_SKIN, 0);
    Restart(L"widget_skins");
    EXPECT_EQ(seen[1], BackgroundBecomes(run.widget, seen[1])) << "the skin chosen before the restart";

    // A skin number out of range, or of the wrong type, is the first skin.
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_SKIN, 7);
    Restart(L"widget_skins");
    EXPECT_EQ(first, BackgroundBecomes(run.widget, first));
    WriteText(SETTINGS_KEY, VALUE_WIDGET_SKIN, L"2");
    Restart(L"widget_skins");
    EXPECT_EQ(first, BackgroundBecomes(run.widget, first));
}

TEST_F(Widget, CollapseShowsOnlyTheHeaderAndTheNextMatch)
{
    Start(L"widget_collapse");
    RECT full = Bounds(run.widget);
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    Settle(run.widget);
    RECT collapsed = Bounds(run.widget);
    EXPECT_LT(collapsed.bottom - collapsed.top, (full.bottom - full.top) * 3 / 4);
    EXPECT_EQ(full.left, collapsed.left);
    EXPECT_EQ(full.top, collapsed.top);
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    Settle(run.widget);
    RECT again = Bounds(run.widget);
    EXPECT_EQ(full.bottom - full.top, again.bottom - again.top);
    // Not remembered: a new start shows the whole widget, as the tray's unchecked item says.
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    Restart(L"widget_collapse");
    RECT restarted = Bounds(run.widget);
    EXPECT_EQ(full.bottom - full.top, restarted.bottom - restarted.top);
}

TEST_F(Widget, PlaceIsRememberedKeptOnScreenAndTheTrayDoubleClickBringsItBack)
{
    // A stored place far off any monitor: the widget starts inside the work area.
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, static_cast<DWORD>(-20000));
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_TOP, 50000);
    Start(L"widget_place");
    RECT work = WorkArea();
    RECT before = Bounds(run.widget);
    EXPECT_TRUE(Inside(before, work)) << before.left << "," << before.top << " " << before.right << ","
                                      << before.bottom << " in " << work.right << "," << work.bottom;

    // Dragged with the mouse towards the middle, to a place the next start keeps.
    POINT grab = { 20, 40 }; // on the title, away from the arrows
    SendMessageW(run.widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    POINT to = { grab.x + 150, grab.y - 120 };
    SendMessageW(run.widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    SendMessageW(run.widget, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    RECT dragged = Bounds(run.widget);
    EXPECT_EQ(before.left + 150, dragged.left);
    EXPECT_EQ(before.top - 120, dragged.top);
    EXPECT_EQ(static_cast<DWORD>(dragged.left), StoredDword(VALUE_WIDGET_LEFT));
    Restart(L"widget_place");
    EXPECT_EQ(dragged.left, Bounds(run.widget).left);
    EXPECT_EQ(dragged.top, Bounds(run.widget).top);

    // Collapsed and moved off the screen by another program: a double-click on the
    // tray icon brings the whole widget back into view.
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    Settle(run.widget);
    RECT collapsed = Bounds(run.widget);
    SetWindowPos(run.widget, nullptr, 5000, 5000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(run.tray, WM_TRAY_CALLBACK, 0, WM_LBUTTONDBLCLK);
    Settle(run.widget);
    RECT back = Bounds(run.widget);
    EXPECT_TRUE(Inside(back, work));
    EXPECT_GT(back.bottom - back.top, collapsed.bottom - collapsed.top) << "still collapsed";

    // A stored place at the end of the number range: the first place again.
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(ExitHost(run, &exitCode));
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, 0x7FFFFFF0);
    Start(L"widget_place");
    RECT wayOff = Bounds(run.widget);
    EXPECT_TRUE(Inside(wayOff, work));
    EXPECT_GT(wayOff.left, (work.left + work.right) / 2);
}

TEST_F(Widget, LayoutFollowsTheMonitorsDpi)
{
    Start(L"widget_dpi");
    RECT at96 = Bounds(run.widget);
    // As Windows tells a per-monitor aware window that moved to a 200 % monitor
    // (Wine never sends it: its DPI is one for the whole prefix).
    for (UINT dpi : { 192u, 144u, 96u }) {
        RECT suggested = { at96.left, at96.top, at96.right, at96.bottom };
        SendMessageW(run.widget, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        Settle(run.widget);
        RECT now = Bounds(run.widget);
        EXPECT_NEAR(MulDiv(at96.right - at96.left, dpi, 96), now.right - now.left, 2) << dpi;
        EXPECT_NEAR(MulDiv(at96.bottom - at96.top, dpi, 96), now.bottom - now.top, 12) << dpi;
    }
    // The same message from another program with nonsense in it changes nothing.
    for (UINT dpi : { 0u, 65535u }) {
        SendMessageW(run.widget, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0x10);
        Settle(run.widget);
        RECT now = Bounds(run.widget);
        EXPECT_EQ(at96.right - at96.left, now.right - now.left) << dpi;
        EXPECT_EQ(at96.bottom - at96.top, now.bottom - now.top) << dpi;
    }
}

// The preferences from the registry, the menu and the settings dialog, read back from
// Win32 (the z-order band, the layered alpha, the activation) and after a restart.
TEST_F(Widget, LayerOpacityAndLockFromTheRegistryAndTheMenuSurviveARestart)
{
    // Garbage of every kind: the widget stands on the desktop, opaque and movable.
    WriteText(SETTINGS_KEY, VALUE_WIDGET_LAYER, L"2");
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_OPACITY, 500);
    WriteRaw(SETTINGS_KEY, VALUE_WIDGET_LOCKED, REG_QWORD, "\1\0\0\0\0\0\0\0", 8);
    Start(L"widget_preferences");
    EXPECT_FALSE(Topmost(run.widget));
    EXPECT_EQ(255, Alpha(run.widget));
    EXPECT_FALSE(GetWindowLongPtrW(run.widget, GWL_EXSTYLE) & WS_EX_LAYERED) << "layered while opaque";
    EXPECT_EQ(MA_NOACTIVATE, MouseActivation(run.widget));

    // Above all windows, half transparent, locked.
    DWORD exitCode = 1;
    ASSERT_TRUE(ExitHost(run, &exitCode));
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LAYER, LAYER_TOPMOST);
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_OPACITY, 50);
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LOCKED, 1);
    Start(L"widget_preferences");
    EXPECT_TRUE(Topmost(run.widget));
    EXPECT_EQ(127, Alpha(run.widget));
    EXPECT_EQ(MA_ACTIVATE, MouseActivation(run.widget));
    RECT before = Bounds(run.widget);
    SendMessageW(run.widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 40));
    SendMessageW(run.widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(220, 140));
    SendMessageW(run.widget, WM_LBUTTONUP, 0, MAKELPARAM(220, 140));
    EXPECT_EQ(before.left, Bounds(run.widget).left) << "a locked widget was dragged";

    // Opaque while the mouse is over it, and again see-through once it has left.
    RECT bounds = Bounds(run.widget);
    SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    SendMessageW(run.widget, WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
    EXPECT_EQ(255, Alpha(run.widget));
    SetCursorPos(bounds.left - 200, bounds.bottom + 200);
    EXPECT_TRUE(WaitUntil([&] { return Alpha(run.widget) == 127; })) << "still opaque after the mouse left";

    // The menu: unlocked, an ordinary window, which another program may raise.
    SendCommand(CMD_LOCK);
    EXPECT_EQ(0u, StoredDword(VALUE_WIDGET_LOCKED));
    SendCommand(CMD_LAYER_FIRST + LAYER_NORMAL);
    EXPECT_EQ(static_cast<DWORD>(LAYER_NORMAL), StoredDword(VALUE_WIDGET_LAYER));
    EXPECT_FALSE(Topmost(run.widget));
    HWND user = CreateWindowExW(0, L"STATIC", L"user's work", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(user);
    SetForegroundWindow(user);
    SetWindowPos(run.widget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(run.widget, user)) << "an ordinary window refused to be raised";
    SendMessageW(run.widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 40));
    SendMessageW(run.widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 140));
    SendMessageW(run.widget, WM_LBUTTONUP, 0, MAKELPARAM(120, 140));
    EXPECT_NE(before.left, Bounds(run.widget).left) << "an unlocked widget did not move";

    // Back on the desktop: it refuses to be raised again.
    SendCommand(CMD_LAYER_FIRST + LAYER_DESKTOP);
    SetWindowPos(run.widget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(user, run.widget));
    SendCommand(CMD_LAYER_FIRST + LAYER_NORMAL);
    DestroyWindow(user);

    // The menu's choices and the registry's opacity stay after a restart.
    Restart(L"widget_preferences");
    EXPECT_FALSE(Topmost(run.widget));
    EXPECT_EQ(MA_ACTIVATE, MouseActivation(run.widget));
    EXPECT_EQ(127, Alpha(run.widget));
    // Commands beyond the menu's ranges change nothing.
    for (WORD command : { CMD_TEAM_FIRST + kTeamCount, CMD_LAYER_FIRST + LAYER_COUNT, 0xFFFF })
        SendCommand(command);
    EXPECT_EQ(static_cast<DWORD>(LAYER_NORMAL), StoredDword(VALUE_WIDGET_LAYER));
    EXPECT_FALSE(ReadValue(SETTINGS_KEY, VALUE_FAVOURITE_TEAM).exists);
}

TEST_F(Widget, TheDialogAppliesEveryChangeAtOnceAndFollowsTheMenu)
{
    Start(L"widget_preferences");
    SendCommand(CMD_SETTINGS);
    std::vector<HWND> dialogs;
    ASSERT_TRUE(WaitUntil([&] { return (dialogs = SettingsDialogs(run.process.id)).size() == 1; }));
    HWND dialog = dialogs[0];
    // It shows what is in effect: the defaults.
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(33, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCOUNT, 0, 0)) << "none and the 32 teams";
    EXPECT_TRUE(IsChecked(dialog, IDC_REMIND));
    EXPECT_EQ(15u, GetDlgItemInt(dialog, IDC_REMIND_MINUTES, nullptr, FALSE));
    EXPECT_TRUE(IsChecked(dialog, IDC_ZONE_MOSCOW));
    EXPECT_EQ(LAYER_DESKTOP, SendDlgItemMessageW(dialog, IDC_LAYER, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(100, SendDlgItemMessageW(dialog, IDC_OPACITY, TBM_GETPOS, 0, 0));

    // Spain is the 29th team of the draw (group H's first), after "none".
    Select(dialog, IDC_TEAM, 29);
    EXPECT_EQ(L"ESP", ReadValue(SETTINGS_KEY, VALUE_FAVOURITE_TEAM).Text());
    Click(dialog, IDC_REMIND_MINE);
    EXPECT_EQ(1u, StoredDword(VALUE_REMINDER_MY_TEAM_ONLY));
    SetDlgItemTextW(dialog, IDC_REMIND_MINUTES, L"3"); // out of range: not taken
    EXPECT_EQ(0xFFFFFFFF, StoredDword(VALUE_REMINDER_MINUTES));
    SetDlgItemTextW(dialog, IDC_REMIND_MINUTES, L"21");
    EXPECT_EQ(21u, StoredDword(VALUE_REMINDER_MINUTES));
    Click(dialog, IDC_REMIND);
    EXPECT_EQ(0u, StoredDword(VALUE_REMINDER_MINUTES));
    Click(dialog, IDC_REMIND);
    EXPECT_EQ(21u, StoredDword(VALUE_REMINDER_MINUTES)) << "the minutes were not kept while off";
    Click(dialog, IDC_ZONE_COMPUTER);
    EXPECT_EQ(1u, StoredDword(VALUE_TIME_ZONE));
    Select(dialog, IDC_LAYER, LAYER_TOPMOST);
    Settle(run.widget);
    EXPECT_TRUE(Topmost(run.widget));
    SendDlgItemMessageW(dialog, IDC_OPACITY, TBM_SETPOS, TRUE, 60);
    SendMessageW(dialog, WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_OPACITY)));
    EXPECT_EQ(60u, StoredDword(VALUE_WIDGET_OPACITY));
    EXPECT_EQ(153, Alpha(run.widget));
    EXPECT_EQ(L"60 %", WindowText(GetDlgItem(dialog, IDC_OPACITY_TEXT)));
    Click(dialog, IDC_LOCKED);
    EXPECT_EQ(1u, StoredDword(VALUE_WIDGET_LOCKED));

    // The menu changes what the open dialog shows; a second open brings the same one.
    SendCommand(CMD_LOCK);
    EXPECT_FALSE(IsChecked(dialog, IDC_LOCKED));
    SendCommand(CMD_TEAM_NONE);
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCURSEL, 0, 0));
    SendCommand(CMD_SETTINGS);
    EXPECT_EQ(1u, SettingsDialogs(run.process.id).size());
    // Garbage from another process: unknown controls and notices change nothing.
    for (WPARAM wParam : { MAKEWPARAM(IDC_TEAM, CBN_DROPDOWN), MAKEWPARAM(IDC_LAYER, 0xFFFF), MAKEWPARAM(999, 0) })
        SendMessageW(dialog, WM_COMMAND, wParam, 0x12345678);
    SendMessageW(dialog, WM_HSCROLL, 0xFFFF, 0x12345678);
    EXPECT_TRUE(Topmost(run.widget));

    // Closed from its button; everything stays after a restart.
    Click(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return SettingsDialogs(run.process.id).empty(); }));
    Restart(L"widget_preferences");
    EXPECT_TRUE(Topmost(run.widget));
    EXPECT_EQ(153, Alpha(run.widget));
    SendCommand(CMD_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return (dialogs = SettingsDialogs(run.process.id)).size() == 1; }));
    EXPECT_EQ(21u, GetDlgItemInt(dialogs[0], IDC_REMIND_MINUTES, nullptr, FALSE));
    EXPECT_TRUE(IsChecked(dialogs[0], IDC_ZONE_COMPUTER));
    EXPECT_TRUE(IsChecked(dialogs[0], IDC_REMIND_MINE));

    // Tab moves through the controls, though the Host's loop knows nothing of them.
    DWORD thread = GetWindowThreadProcessId(dialogs[0], nullptr);
    auto focus = [&] {
        GUITHREADINFO info = { sizeof(info) };
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    SetForegroundWindow(dialogs[0]);
    HWND first = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (first = focus()) != nullptr && IsChild(dialogs[0], first); }));
    INPUT tab[2] = {};
    tab[0].type = tab[1].type = INPUT_KEYBOARD;
    tab[0].ki.wVk = tab[1].ki.wVk = VK_TAB;
    tab[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, tab, sizeof(INPUT));
    EXPECT_TRUE(WaitUntil([&] { return focus() != first && IsChild(dialogs[0], focus()); })) << "Tab did not move";
}

// The favourite team's lines say so to a screen reader, on the match page and in
// its group's table, and the collapsed widget names its next match.
TEST_F(Widget, TheFavouriteTeamsLinesAreMarkedForAScreenReader)
{
    HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WriteText(SETTINGS_KEY, VALUE_FAVOURITE_TEAM, L"ESP");
    Start(L"widget_my_team", L"/date=2010-06-16T12:00"); // Spain — Switzerland kicks off at 18:00
    const std::wstring mark = L", моя команда";
    auto marked = [&] {
        std::vector<std::wstring> lines;
        for (const std::wstring& text : ReadAccessibleTexts(run.widget)) {
            if (text.size() > mark.size() && text.compare(text.size() - mark.size(), mark.size(), mark) == 0)
                lines.push_back(text);
        }
        return lines;
    };
    EXPECT_EQ((std::vector<std::wstring>{ L"18:00 Испания — Швейцария, моя команда" }), marked());
    SendCommand(CMD_PAGE_FIRST + 1); // the groups
    EXPECT_EQ((std::vector<std::wstring>{ L"Испания 0 0–0 0 0, моя команда" }), marked());
    // Collapsed: the next kick-off (Honduras — Chile), then Spain's.
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    Settle(run.widget);
    std::vector<std::wstring> texts = ReadAccessibleTexts(run.widget);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"Матч моей команды, 16 июня"));
    std::vector<std::wstring> lines = marked();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find(L"18:00 Испания — Швейцария ")) << WideToUtf8(lines[0]);
    SendCommand(CMD_TEAM_NONE);
    EXPECT_TRUE(marked().empty());
    if (SUCCEEDED(apartment))
        CoUninitialize();
}

} // namespace
