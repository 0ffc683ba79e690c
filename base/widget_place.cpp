#include "widget_place.h"

#include "engine_settings.h"
#include "owners.h"
#include "preferences.h"
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
bool s_locked;
POINT s_grabbed;
int s_layer;              // WidgetLayer
DWORD s_opacity = 100;    // percent
bool s_mouseOver;         // the window is opaque until the mouse leaves it
// The place the user chose: stored, or where a drag ended. While no monitor shows the
// widget there (a laptop undocked), it stands elsewhere and that place is kept, not
// saved over, and taken again once a monitor shows it.
POINT s_userPlace;
bool s_userPlaceAway;

BYTE Alpha(void)
{
    return static_cast<BYTE>(s_mouseOver || s_opacity >= 100 ? 255 : s_opacity * 255 / 100);
}

// Layered only below full opacity: a layered window costs the system a copy of it.
void ApplyOpacity(HWND window)
{
    LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (s_opacity >= 100) {
        if (style & WS_EX_LAYERED) {
            SetWindowLongPtrW(window, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
        }
        return;
    }
    if (!(style & WS_EX_LAYERED))
        SetWindowLongPtrW(window, GWL_EXSTYLE, style | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, 0, Alpha(), LWA_ALPHA);
}

// The work area of the monitor that shows most of `area`, or of the nearest one.
RECT WorkAreaFor(const RECT& area)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    return monitor.rcWork;
}

// Some monitor shows a part of a widget of this size at `place`.
bool Shown(POINT place, SIZE size)
{
    RECT area = { place.x, place.y, place.x + size.cx, place.y + size.cy };
    return MonitorFromRect(&area, MONITOR_DEFAULTTONULL) != nullptr;
}

POINT WindowPlace(HWND window)
{
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    return POINT{ bounds.left, bounds.top };
}

// The system suggests the window's rectangle at the new DPI: on a desktop, and within
// a quarter of the widget's own new size (its lines round a pixel each).
bool LikeTheSystems(const RECT& suggested, SIZE size)
{
    LONGLONG width = static_cast<LONGLONG>(suggested.right) - suggested.left;
    LONGLONG height = static_cast<LONGLONG>(suggested.bottom) - suggested.top;
    return suggested.left > -kFarthest && suggested.left < kFarthest && suggested.top > -kFarthest &&
           suggested.top < kFarthest && 4 * width > 3 * size.cx && 4 * width < 5 * size.cx &&
           4 * height > 3 * size.cy && 4 * height < 5 * size.cy;
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
    POINT now = WindowPlace(window), at = now;
    if (at.x == s_userPlace.x && at.y == s_userPlace.y && !Shown(at, size)) {
        s_userPlaceAway = true; // its monitor went away
    } else if (s_userPlaceAway && Shown(s_userPlace, size)) {
        s_userPlaceAway = false; // and came back
        at = s_userPlace;
    }
    POINT place = KeptOnScreen(at.x, at.y, size);
    if (place.x != now.x || place.y != now.y)
        SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT StartPlace(SIZE size, UINT dpi)
{
    DWORD left, top;
    if (ReadSettingDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, &left) &&
        ReadSettingDword(SETTINGS_KEY, VALUE_WIDGET_TOP, &top) && static_cast<LONG>(left) > -kFarthest &&
        static_cast<LONG>(left) < kFarthest && static_cast<LONG>(top) > -kFarthest && static_cast<LONG>(top) < kFarthest) {
        s_userPlace = POINT{ static_cast<LONG>(left), static_cast<LONG>(top) };
    } else {
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        int margin = MulDiv(kScreenMargin, static_cast<int>(dpi), 96);
        s_userPlace = POINT{ work.right - size.cx - margin, work.top + margin };
    }
    s_userPlaceAway = !Shown(s_userPlace, size);
    return KeptOnScreen(s_userPlace.x, s_userPlace.y, size);
}

void SavePlace(HWND window)
{
    if (s_userPlaceAway)
        return; // the stored place is the user's, until a monitor shows it again
    RECT bounds;
    GetWindowRect(window, &bounds);
    WriteSettingDword(SETTINGS_KEY, VALUE_WIDGET_LEFT, static_cast<DWORD>(bounds.left));
    WriteSettingDword(SETTINGS_KEY, VALUE_WIDGET_TOP, static_cast<DWORD>(bounds.top));
}

void SetPlaceLocked(bool locked)
{
    s_locked = locked;
}

POINT Snapped(POINT place, SIZE size, const RECT& work, int reach)
{
    if (place.x - work.left <= reach && work.left - place.x <= reach)
        place.x = work.left;
    else if (place.x + size.cx - work.right <= reach && work.right - place.x - size.cx <= reach)
        place.x = work.right - size.cx;
    if (place.y - work.top <= reach && work.top - place.y <= reach)
        place.y = work.top;
    else if (place.y + size.cy - work.bottom <= reach && work.bottom - place.y - size.cy <= reach)
        place.y = work.bottom - size.cy;
    return place;
}

POINT Recentred(const RECT& was, SIZE size)
{
    return POINT{ (was.left + was.right - size.cx) / 2, (was.top + was.bottom - size.cy) / 2 };
}

POINT PlaceForNewDpi(const RECT* suggested, const RECT& was, SIZE size, UINT from, UINT to)
{
    if (s_dragging && from && to) {
        s_grabbed.x = MulDiv(s_grabbed.x, static_cast<int>(to), static_cast<int>(from));
        s_grabbed.y = MulDiv(s_grabbed.y, static_cast<int>(to), static_cast<int>(from));
    }
    POINT place = Recentred(was, size), cursor;
    if (suggested && LikeTheSystems(*suggested, size))
        place = POINT{ suggested->left, suggested->top };
    else if (s_dragging && GetCursorPos(&cursor))
        place = POINT{ cursor.x - s_grabbed.x, cursor.y - s_grabbed.y };
    return s_dragging ? place : KeptOnScreen(place.x, place.y, size);
}

void BeginDrag(HWND window, POINT grabbed)
{
    if (s_locked)
        return;
    s_dragging = true;
    s_grabbed = grabbed;
    SetCapture(window);
}

void DragTo(HWND window, POINT cursor)
{
    if (!s_dragging)
        return;
    ClientToScreen(window, &cursor);
    RECT bounds;
    GetWindowRect(window, &bounds);
    SIZE size = { bounds.right - bounds.left, bounds.bottom - bounds.top };
    POINT place = { cursor.x - s_grabbed.x, cursor.y - s_grabbed.y };
    RECT wanted = { place.x, place.y, place.x + size.cx, place.y + size.cy };
    place = Snapped(place, size, WorkAreaFor(wanted), MulDiv(kSnapReach, static_cast<int>(WindowDpi(window)), 96));
    SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void EndDrag(HWND window, SIZE size)
{
    if (!s_dragging)
        return;
    s_dragging = false;
    KeepOnScreen(window, size);
    s_userPlace = WindowPlace(window); // the user's place from now on
    s_userPlaceAway = false;
    SavePlace(window);
}

namespace {

bool Topmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Out of the topmost band, into the top of the ordinary windows. Wine keeps an owned
// window topmost whatever SetWindowPos is asked; without its owner for that one call
// it lets go.
void LeaveTopmost(HWND window)
{
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    HWND owner = GetWindow(window, GW_OWNER);
    if (!Topmost(window) || !owner)
        return;
    SetWindowLongPtrW(window, GWLP_HWNDPARENT, 0);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

} // namespace

void ReturnToLayer(HWND window)
{
    if (window == s_raised)
        return; // until the user activates another window (EndRaise)
    if (s_layer != LAYER_TOPMOST && Topmost(window))
        LeaveTopmost(window);
    if (s_layer != LAYER_NORMAL)
        SetWindowPos(window, s_layer == LAYER_TOPMOST ? HWND_TOPMOST : HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetWidgetLayer(HWND window, int layer)
{
    int wanted = layer >= 0 && layer < LAYER_COUNT ? layer : LAYER_DESKTOP;
    if (wanted != s_layer)
        s_raised = nullptr; // a raise belongs to the desktop layer
    s_layer = wanted;
    // A window not shown yet takes its place in the z-order when it is shown; before,
    // under Wine, a SetWindowPos costs the start some 10 ms.
    if (IsWindowVisible(window))
        ReturnToLayer(window);
}

int MouseActivation(void)
{
    return s_layer == LAYER_DESKTOP ? MA_NOACTIVATE : MA_ACTIVATE;
}

void SetWidgetOpacity(HWND window, DWORD percent)
{
    s_opacity = percent >= 20 && percent <= 100 ? percent : 100;
    ApplyOpacity(window);
}

void NoticeMouseOver(HWND window)
{
    if (s_mouseOver || s_opacity >= 100)
        return;
    s_mouseOver = true;
    ApplyOpacity(window);
    SetTimer(window, kMouseOverTimer, kMouseOverCheckMs, nullptr);
}

void CheckMouseOver(HWND window)
{
    POINT cursor;
    RECT bounds;
    if (s_dragging || !GetCursorPos(&cursor) || !GetWindowRect(window, &bounds) || PtInRect(&bounds, cursor))
        return;
    s_mouseOver = false;
    KillTimer(window, kMouseOverTimer);
    ApplyOpacity(window);
}

void RaiseForAWhile(HWND window)
{
    // The user asked for it from the tray, so it may take the foreground; losing it
    // again is how it learns that the user went on to another window. Where the system
    // refuses, it is raised all the same, until the next change of its place in the
    // z-order takes it down.
    s_raised = s_layer == LAYER_DESKTOP ? window : nullptr;
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!SetForegroundWindow(window))
        s_raised = nullptr;
}

void KeepBelow(HWND window, WINDOWPOS* position)
{
    if (!position || s_layer != LAYER_DESKTOP || window == s_raised || (position->flags & SWP_NOZORDER) ||
        position->hwndInsertAfter == HWND_BOTTOM)
        return;
    position->hwndInsertAfter = HWND_BOTTOM;
}

void EndRaise(HWND window)
{
    if (window != s_raised)
        return;
    s_raised = nullptr;
    ReturnToLayer(window);
}
