// The real Host with the real engine in a Wine desktop, driven from outside as the
// shell and the user would: where the widget stands, skins, collapse, the tray's
// double-click, and its remembered place. Wine draws z-order and activation its own
// way (../shared notes), so these tests read the Win32 state, not the screen, except
// for one pixel that tells the skins apart.
#include <gtest/gtest.h>

#include <windows.h>

#include "test_support.h"
#include "base/engine_settings.h"
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

// Whether `upper` comes before `lower` in the Win32 z-order.
bool Above(HWND upper, HWND lower)
{
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == upper)
            return true;
        if (w == lower)
            return false;
    }
    return false;
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
    COLORREF first = BackgroundPixel(run.widget);
    COLORREF seen[3] = { first };
    for (int i = 1; i <= 3; ++i) {
        SendMessageW(run.tray, WM_COMMAND, IDM_SWITCH_SKIN, 0);
        Settle(run.widget);
        EXPECT_EQ(static_cast<DWORD>(i % 3), StoredDword(VALUE_WIDGET_SKIN));
        if (i < 3)
            seen[i] = BackgroundPixel(run.widget);
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    EXPECT_NE(seen[0], seen[2]);
    EXPECT_EQ(first, BackgroundPixel(run.widget)) << "three switches lead back to the first skin";

    SendMessageW(run.tray, WM_COMMAND, IDM_SWITCH_SKIN, 0);
    Restart(L"widget_skins");
    EXPECT_EQ(seen[1], BackgroundPixel(run.widget)) << "the skin chosen before the restart";

    // A skin number out of range, or of the wrong type, is the first skin.
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_SKIN, 7);
    Restart(L"widget_skins");
    EXPECT_EQ(first, BackgroundPixel(run.widget));
    WriteText(SETTINGS_KEY, VALUE_WIDGET_SKIN, L"2");
    Restart(L"widget_skins");
    EXPECT_EQ(first, BackgroundPixel(run.widget));
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

} // namespace
