#include "widget_place.h"

#include "engine_settings.h"
#include "owners.h"
#include "system_library.h"

namespace {

const int kScreenMargin = 16; // from the work area's edge, at 96 DPI
// Beyond a million pixels no desktop reaches; a stored place there is garbage, and
// the sums below must not overflow.
const LONG kFarthest = 1 << 20;

typedef UINT(WINAPI* DpiForWindowFn)(HWND);

// Raised by the tray's double-click: the widget may stand above other windows until
// it loses the activation it took then. Main thread only.
HWND s_raised;
// Dragged: the cursor's place in the window when the button went down.
bool s_dragging;
POINT s_grabbed;

// The work area of the monitor that shows most of `area`, or of the nearest one.
RECT WorkAreaFor(const RECT& area)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    return monitor.rcWork;
}

} // namespace

UINT WindowDpi(HWND window)
{
    DpiForWindowFn dpiForWindow = SystemFunction<DpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    UINT dpi = dpiForWindow ? dpiForWindow(window) : 0;
    if (!dpi) {
        WindowDc screen(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen.Get(), LOGPIXELSY));
    }
    return dpi ? dpi : 96;
}

POINT KeptOnScreen(LONG left, LONG top, SIZE size)
{
    RECT wanted = { left, top, left + size.cx, top + size.cy };
    RECT work = WorkAreaFor(wanted);
    POINT place = { left, top };
    if (place.x > work.right - size.cx)
        place.x = work.right - size.cx;
    if (place.y > work.bottom - size.cy)
        place.y = work.bottom - size.cy;
    if (place.x < work.left)
        place.x = work.left;
    if (place.y < work.top)
        place.y = work.top;
    return place;
}

void KeepOnScreen(HWND window, SIZE size)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    POINT place = KeptOnScreen(bounds.left, bounds.top, size);
    if (place.x != bounds.left || place.y != bounds.top)
        SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT StartPlace(SIZE size, UINT dpi)
{
    DWORD left, top;
    if (ReadSettingDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, &left) &&
        ReadSettingDword(SETTINGS_KEY, VALUE_WIDGET_TOP, &top) && static_cast<LONG>(left) > -kFarthest &&
        static_cast<LONG>(left) < kFarthest && static_cast<LONG>(top) > -kFarthest && static_cast<LONG>(top) < kFarthest)
        return KeptOnScreen(static_cast<LONG>(left), static_cast<LONG>(top), size);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int margin = MulDiv(kScreenMargin, static_cast<int>(dpi), 96);
    return KeptOnScreen(work.right - size.cx - margin, work.top + margin, size);
}

void SavePlace(HWND window)
{
    RECT bounds;
    GetWindowRect(window, &bounds);
    WriteSettingDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, static_cast<DWORD>(bounds.left));
    WriteSettingDword(SETTINGS_KEY, VALUE_WIDGET_TOP, static_cast<DWORD>(bounds.top));
}

void BeginDrag(HWND window, POINT grabbed)
{
    s_dragging = true;
    s_grabbed = grabbed;
    SetCapture(window);
}

void DragTo(HWND window, POINT cursor)
{
    if (!s_dragging)
        return;
    ClientToScreen(window, &cursor);
    SetWindowPos(window, nullptr, cursor.x - s_grabbed.x, cursor.y - s_grabbed.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void EndDrag(HWND window, SIZE size)
{
    if (!s_dragging)
        return;
    s_dragging = false;
    KeepOnScreen(window, size);
    SavePlace(window);
}

void SendToBottom(HWND window)
{
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void RaiseForAWhile(HWND window)
{
    // The user asked for it from the tray, so it may take the foreground; losing it
    // again is how it learns that the user went on to another window. Where the system
    // refuses, it is raised all the same, until the next change of its place in the
    // z-order takes it down.
    s_raised = window;
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!SetForegroundWindow(window))
        s_raised = nullptr;
}

void KeepBelow(HWND window, WINDOWPOS* position)
{
    if (!position || window == s_raised || (position->flags & SWP_NOZORDER) ||
        position->hwndInsertAfter == HWND_BOTTOM)
        return;
    position->hwndInsertAfter = HWND_BOTTOM;
}

void EndRaise(HWND window)
{
    if (window != s_raised)
        return;
    s_raised = nullptr;
    SendToBottom(window);
}
