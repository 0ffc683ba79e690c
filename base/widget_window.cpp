#include "widget_window.h"

#include "../host/engine_interface.h"
#include "accessibility.h"
#include "engine_settings.h"
#include "network.h"
#include "owners.h"
#include "preferences.h"
#include "settings_dialog.h"
#include "system_library.h"
#include "updater.h"
#include "wallpaper.h"
#include "widget_clock.h"
#include "widget_content.h"
#include "widget_drawing.h"
#include "widget_menu.h"
#include "widget_news.h"
#include "widget_place.h"
#include "widget_reading.h"
#include "widget_state.h"
#include "widget_texts.h"
#include "widget_tips.h"

WidgetState* g_widget;

namespace {

const WCHAR kPictureName[] = L"\\images\\wallpaper.bmp";
const UINT_PTR kChangeTimer = 1;
const DWORD kLongestWaitMs = 24 * 60 * 60 * 1000; // the day changes within a day anyway
const UINT kLowestDpi = 48, kHighestDpi = 960;     // 50 % to 1000 %: beyond is no monitor
// Sent to itself once the Host's loop runs: Wine sets the z-order of a window that
// was just shown only after messages were pumped.
const UINT WM_WIDGET_TO_BOTTOM = WM_APP + 1;


RECT WindowBounds(void)
{
    RECT bounds;
    GetWindowRect(g_widget->window, &bounds);
    return bounds;
}

// Sleeps until what is shown next changes: no wake-up while nothing on it can.
// A replay's clock may run faster: the wait is in real time.
void ScheduleChange(void)
{
    ULONGLONG ms = RealMsUntil(g_widget->view.nextChange);
    SetTimer(g_widget->window, kChangeTimer, ms > kLongestWaitMs ? kLongestWaitMs : static_cast<UINT>(ms), nullptr);
}

// The window's shape follows the layout: its size and rounded corners.
void ApplySize(void)
{
    const SIZE& size = g_widget->layout.size;
    if (size.cx == g_widget->shapedSize.cx && size.cy == g_widget->shapedSize.cy &&
        g_widget->layout.radius == g_widget->shapedRadius)
        return;
    RECT bounds = WindowBounds();
    POINT place = KeptOnScreen(bounds.left, bounds.top, size);
    SetWindowPos(g_widget->window, nullptr, place.x, place.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    int radius = g_widget->layout.radius;
    OwnedGdi<HRGN> shape(CreateRoundRectRgn(0, 0, size.cx + 1, size.cy + 1, radius, radius));
    if (shape && SetWindowRgn(g_widget->window, shape.Get(), TRUE))
        shape.Release(); // the window's once it was set
    g_widget->shapedSize = size;
    g_widget->shapedRadius = radius;
}

// What each match line says beyond its cells: its scorers so far, or, while its score
// is hidden, how to see it (a click on the line, or pressing it in a screen reader).
void DescribeLines(ULONGLONG now)
{
    MatchMask hidden = HiddenMatches(g_widget->choice);
    LineDetails& details = g_widget->details;
    for (int i = 0; i < g_widget->view.lineCount; ++i) {
        const ViewLine& line = g_widget->view.lines[i];
        details.text[i][0] = 0;
        details.command[i] = 0;
        if (!line.match || line.match > kMatchCount)
            continue;
        const Match& match = g_widget->data.matches[line.match - 1];
        if (MatchStateAt(match, now) == MATCH_AHEAD)
            continue;
        if (hidden & MatchBit(line.match)) {
            lstrcpynW(details.text[i], kRevealHint, kLineDetailUnits);
            details.command[i] = static_cast<WORD>(CMD_REVEAL_FIRST + line.match);
        } else {
            FormatScorers(g_widget->data, match, now, ReplayRunning(), details.text[i], kLineDetailUnits);
        }
    }
}

// The tooltips follow the lines; the control is made when the mouse first comes.
void UpdateTips(bool create)
{
    MatchTip tips[kMaxLines];
    int count = 0;
    for (int i = 0; i < g_widget->view.lineCount; ++i) {
        if (g_widget->details.text[i][0])
            tips[count++] = MatchTip{ g_widget->layout.line[i], g_widget->details.text[i] };
    }
    SetMatchTips(g_widget->window, tips, count, g_widget->fonts.dpi, create);
}

// The line under a client point, or -1.
int LineAt(POINT point)
{
    for (int i = 0; i < g_widget->view.lineCount; ++i) {
        if (PtInRect(&g_widget->layout.line[i], point))
            return i;
    }
    return -1;
}

bool UseFontsFor(UINT dpi)
{
    if (g_widget->fonts.font[0] && g_widget->fonts.dpi == dpi)
        return true;
    WidgetFonts fonts;
    if (!CreateWidgetFonts(dpi, &fonts))
        return false;
    DestroyWidgetFonts(&g_widget->fonts);
    g_widget->fonts = fonts;
    return true;
}

// ---------------------------------------------------------------------------------
// The window's messages.

void OnPaint(HWND window)
{
    PaintScope paint(window);
    const SIZE& size = g_widget->layout.size;
    // Declared in this order, they go in the reverse: the picture is put down, the DC
    // deleted, then the bitmap.
    OwnedGdi<HBITMAP> bitmap;
    OwnedMemoryDc memory(CreateCompatibleDC(paint.Get()));
    if (memory)
        bitmap.Reset(CreateCompatibleBitmap(paint.Get(), size.cx, size.cy));
    if (!bitmap) {
        // Out of memory for the picture: a plain widget rather than none.
        FillRect(paint.Get(), &paint.Area(), static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
        return;
    }
    SelectedObject picture(memory.Get(), bitmap.Get());
    {
        SavedDc clean(memory.Get()); // the painting's fonts, brushes and pens go with it
        PaintWidget(memory.Get(), g_widget->view, g_widget->layout, g_widget->fonts, GetSkin(g_widget->skin));
    }
    BitBlt(paint.Get(), 0, 0, size.cx, size.cy, memory.Get(), 0, 0, SRCCOPY);
}

POINT ClientPoint(LPARAM lParam)
{
    POINT point = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) };
    return point;
}

void OnLeftButtonDown(HWND window, LPARAM lParam)
{
    POINT point = ClientPoint(lParam);
    if (WORD command = ArrowCommandAt(g_widget->layout, point)) {
        RunWidgetCommand(command);
        return;
    }
    int line = LineAt(point);
    if (line >= 0 && g_widget->details.command[line]) {
        RunWidgetCommand(g_widget->details.command[line]);
        return;
    }
    BeginDrag(window, point);
}

void OnRightButtonUp(LPARAM lParam)
{
    POINT at = ClientPoint(lParam);
    ClientToScreen(g_widget->window, &at);
    ShowWidgetMenu(at);
}

bool OnSetCursor(HWND window)
{
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    if (!ArrowCommandAt(g_widget->layout, cursor))
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

// The system's WM_DPICHANGED (Windows 8.1 on) carries its suggested rectangle as a
// record the system put on this thread's stack for the call, above the handler's own
// frame, where every page is there to read. Any other value (a message another
// program sent or posted) is not read: null.
const RECT* SystemRecord(LPARAM lParam)
{
    typedef VOID(WINAPI * StackLimitsFn)(PULONG_PTR, PULONG_PTR);
    auto limits = SystemFunction<StackLimitsFn>(L"kernel32.dll", "GetCurrentThreadStackLimits");
    ULONG_PTR at = static_cast<ULONG_PTR>(lParam), frame = reinterpret_cast<ULONG_PTR>(&at), low = 0, high = 0;
    if (limits)
        limits(&low, &high);
    if (at <= frame || high < sizeof(RECT) || at > high - sizeof(RECT) || at % sizeof(LONG))
        return nullptr;
    return reinterpret_cast<const RECT*>(at);
}

// Laid out at the new DPI and placed as the system suggests, in one move: a widget
// that first grew where it stood could end up mostly on the other monitor again.
void OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    UINT dpi = HIWORD(wParam), before = g_widget->fonts.dpi;
    RECT was = WindowBounds();
    if (dpi < kLowestDpi || dpi > kHighestDpi || !UseFontsFor(dpi))
        return;
    LayOutWidget(g_widget->view, g_widget->fonts, &g_widget->layout);
    const SIZE& size = g_widget->layout.size;
    POINT place = PlaceForNewDpi(SystemRecord(lParam), was, size, before, dpi);
    SetWindowPos(g_widget->window, nullptr, place.x, place.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    RefreshWidget();
}

// The engine's host messages from the tray window.
void OnHostMessage(UINT message)
{
    switch (message) {
    case WM_ENGINE_SWITCH_SKIN:
        UseSkin(g_widget->skin + 1);
        break;
    case WM_ENGINE_COLLAPSE_ON:
        SetCollapsed(true);
        break;
    case WM_ENGINE_COLLAPSE_OFF:
        SetCollapsed(false);
        break;
    case WM_ENGINE_TRAY_DBLCLK:
        BringIntoView();
        break;
    case WM_ENGINE_WALLPAPER_ON:
        TurnCustomWallpaperOn(g_widget->picturePath);
        break;
    case WM_ENGINE_WALLPAPER_OFF:
        TurnCustomWallpaperOff(g_widget->picturePath);
        break;
    case WM_ENGINE_PROXY_TEST:
        RequestProxyTest();
        break;
    case WM_ENGINE_PROXY_CLOSED:
        RequestDownload();
        break;
    }
}

// What the network's worker found, taken from its queue (the message carries
// nothing): new data, a balloon, the tray state when it changed.
void TakeNetworkReports(void)
{
    while (NetworkReport* report = TakeNetworkReport()) {
        if (report->hasData)
            SetWidgetData(report->data);
        if (report->balloon[0])
            SendBalloon(report->balloon);
        if (TrayStateChanges(report->trayState))
            SendMessageW(g_widget->tray, WM_TRAY_SET_STATE, static_cast<WPARAM>(report->trayState), 0);
        FreeNetworkReport(report);
    }
}

// What the updater's worker found (the message carries nothing): its state for the
// menu, and a balloon for a package downloaded just now.
void TakeUpdateReports(void)
{
    WCHAR balloon[kNetworkTextUnits];
    while (TakeUpdateReport(balloon)) {
        if (balloon[0])
            SendBalloon(balloon);
    }
}

int ProvideAccessibleItems(HWND, AccessibleItem* items, int capacity)
{
    return ReadableItems(g_widget->view, g_widget->layout, g_widget->details, g_widget->accessibleNames, items,
                         capacity);
}

LRESULT CALLBACK WidgetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_MOUSEACTIVATE:
        return MouseActivation();
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(window, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (!MatchTipsWindow())
            UpdateTips(true);
        NoticeMouseOver(window);
        DragTo(window, ClientPoint(lParam));
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        EndDrag(window, g_widget->layout.size);
        return 0;
    case WM_CAPTURECHANGED:
        EndDrag(window, g_widget->layout.size);
        return 0;
    case WM_RBUTTONUP:
        OnRightButtonUp(lParam);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && OnSetCursor(window))
            return TRUE;
        break;
    case WM_COMMAND:
        RunWidgetCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kChangeTimer)
            RefreshWidget();
        else if (wParam == kMouseOverTimer)
            CheckMouseOver(window);
        return 0;
    case WM_TIMECHANGE:
        SkipRemindersTo(WidgetNow());          // no reminders for the hours the clock skipped
        ForgetZoneRules();                     // the zone may have changed too
        RefreshWidget();
        return 0;
    case WM_DISPLAYCHANGE:
        KeepOnScreen(g_widget->window, g_widget->layout.size);
        return 0;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            KeepOnScreen(g_widget->window, g_widget->layout.size);
        else if (wParam == SPI_SETDESKWALLPAPER)
            NoticeWallpaperChange(g_widget->picturePath);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            EndRaise(window);
        break;
    case WM_WINDOWPOSCHANGING:
        // The system's own record: another program's SetWindowPos reaches the widget as
        // the system builds it, and a posted WM_WINDOWPOSCHANGING is refused.
        KeepBelow(window, reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        return 0;
    case WM_WIDGET_TO_BOTTOM:
        ReturnToLayer(g_widget->window);
        return 0;
    case WM_NETWORK_REPORT:
        TakeNetworkReports();
        return 0;
    case WM_UPDATE_REPORT:
        TakeUpdateReports();
        return 0;
    case WM_GETOBJECT:
        return AnswerAccessibilityRequest(window, wParam, lParam, ProvideAccessibleItems);
    case WM_CLOSE:
        return 0; // the widget ends with the Host
    case WM_DESTROY:
        CloseSettingsDialog();
        KillTimer(window, kChangeTimer);
        KillTimer(window, kMouseOverTimer);
        EndDrag(window, g_widget->layout.size); // a drag or a raise of this window ends with it
        EndRaise(window);
        ReleaseAccessibility(window);
        DestroyMatchTips();
        return 0;
    case WM_ENGINE_TRAY_DBLCLK:
    case WM_ENGINE_WALLPAPER_OFF:
    case WM_ENGINE_WALLPAPER_ON:
    case WM_ENGINE_PROXY_CLOSED:
    case WM_ENGINE_PROXY_TEST:
    case WM_ENGINE_SWITCH_SKIN:
    case WM_ENGINE_COLLAPSE_OFF:
    case WM_ENGINE_COLLAPSE_ON:
        OnHostMessage(message);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void RefreshWidget(void)
{
    ULONGLONG now = WidgetNow();
    GiveNews(now);
    BuildWidgetView(g_widget->data, now, g_widget->choice, &g_widget->view);
    LayOutWidget(g_widget->view, g_widget->fonts, &g_widget->layout);
    DescribeLines(now);
    UpdateTips(false);
    ApplySize();
    InvalidateRect(g_widget->window, nullptr, FALSE);
    NotifyAccessibleContentChanged(g_widget->window);
    ScheduleChange();
}

HWND CreateWidgetWindow(HINSTANCE module, HWND trayWindow, const WCHAR* installFolder, const TournamentData& data,
                        DWORD* error)
{
    g_widget = NewOnHeap<WidgetState>().Release(); // until DestroyWidgetWindow
    if (!g_widget) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    g_widget->tray = trayWindow;
    g_widget->data = data;
    lstrcpynW(g_widget->picturePath, installFolder, MAX_PATH);
    if (lstrlenW(g_widget->picturePath) + lstrlenW(kPictureName) < MAX_PATH)
        lstrcatW(g_widget->picturePath, kPictureName);
    else
        g_widget->picturePath[0] = 0; // no picture to be found: wallpaper ON then refuses
    NoticeWallpaperChange(g_widget->picturePath); // the user may have chosen another while it did not run
    DWORD skin = 0;
    ReadSettingDword(SETTINGS_KEY, VALUE_WIDGET_SKIN, &skin);
    g_widget->skin = skin < static_cast<DWORD>(kSkinCount) ? static_cast<int>(skin) : 0;
    g_widget->preferences = ReadPreferences(SETTINGS_KEY, g_widget->data);
    StartNews(WidgetNow());

    g_widget->module = module;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WidgetWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WIDGET_WINDOW_CLASS;
    RegisterClassExW(&windowClass);

    // Owned, so no taskbar button even where the desktop has no shell window (Wine's).
    HWND owner = GetShellWindow();
    g_widget->window = CreateWindowExW(WS_EX_TOOLWINDOW, WIDGET_WINDOW_CLASS, kWidgetTitle, WS_POPUP, 0, 0, 1, 1,
                                      owner ? owner : trayWindow, nullptr, module, nullptr);
    if (!g_widget->window) {
        *error = GetLastError();
        DestroyWidgetWindow();
        return nullptr;
    }
    ApplyPreferences();
    // The fonts of the monitor it will stand on: place it once at the system's DPI,
    // then lay it out again at its own.
    UINT dpi = WindowDpi(g_widget->window);
    if (!UseFontsFor(dpi)) {
        *error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        DestroyWidgetWindow();
        return nullptr;
    }
    BuildWidgetView(g_widget->data, WidgetNow(), g_widget->choice, &g_widget->view);
    LayOutWidget(g_widget->view, g_widget->fonts, &g_widget->layout);
    POINT place = StartPlace(g_widget->layout.size, dpi);
    SetWindowPos(g_widget->window, nullptr, place.x, place.y, g_widget->layout.size.cx, g_widget->layout.size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    g_widget->placed = true;
    UseFontsFor(WindowDpi(g_widget->window));
    RefreshWidget();

    ShowWindow(g_widget->window, SW_SHOWNOACTIVATE);
    ReturnToLayer(g_widget->window);
    PostMessageW(g_widget->window, WM_WIDGET_TO_BOTTOM, 0, 0);
    UpdateWindow(g_widget->window); // painted before the Host goes on
    return g_widget->window;
}

void SetWidgetData(const TournamentData& data)
{
    if (!g_widget)
        return;
    g_widget->data = data;
    g_widget->preferences = ReadPreferences(SETTINGS_KEY, g_widget->data); // the team by its code
    ApplyPreferences();
    RefreshWidget();
    ShowNewDataInDialog(g_widget->preferences);
}

void DestroyWidgetWindow(void)
{
    if (!g_widget)
        return;
    if (g_widget->window) {
        if (g_widget->placed)
            SavePlace(g_widget->window);
        DestroyWindow(g_widget->window);
    }
    DestroyWidgetFonts(&g_widget->fonts);
    UnregisterClassW(WIDGET_WINDOW_CLASS, g_widget->module);
    OwnedHeap<WidgetState> freed(g_widget);
    g_widget = nullptr;
}
