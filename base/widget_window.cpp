#include "widget_window.h"

#include "../host/engine_interface.h"
#include "accessibility.h"
#include "engine_settings.h"
#include "network.h"
#include "owners.h"
#include "wallpaper.h"
#include "widget_clock.h"
#include "widget_content.h"
#include "widget_drawing.h"
#include "widget_menu.h"
#include "widget_place.h"
#include "widget_reading.h"
#include "widget_texts.h"

namespace {

const WCHAR kPictureName[] = L"\\images\\wallpaper.bmp";
const UINT_PTR kChangeTimer = 1;
const DWORD kLongestWaitMs = 24 * 60 * 60 * 1000; // the day changes within a day anyway
const UINT kLowestDpi = 48, kHighestDpi = 960;     // 50 % to 1000 %: beyond is no monitor
// Sent to itself once the Host's loop runs: Wine sets the z-order of a window that
// was just shown only after messages were pumped.
const UINT WM_WIDGET_TO_BOTTOM = WM_APP + 1;

// The widget's whole state: one window per process, touched only by the main thread.
struct WidgetState {
    HINSTANCE module;
    HWND window;
    HWND tray;
    WCHAR picturePath[MAX_PATH];
    TournamentData data;
    ViewChoice choice;
    WidgetView view;
    WidgetLayout layout;
    WidgetFonts fonts;
    SIZE shapedSize;         // the size and corners the window's region was made for
    int shapedRadius;
    int skin;
    bool placed;             // it stands where the user saw it: its place may be saved
    ULONGLONG remindedUntil; // reminders up to this moment have been given
    ReadableNames accessibleNames; // what a screen reader reads
};
// On the heap while the widget lives (some 60 KB, which a static would add to the
// DLL's file: mingw keeps zeroed statics in .data). A plain pointer, not an owner:
// base.dll has no C runtime to run a static's destructor; DestroyWidgetWindow frees it.
WidgetState* s_widget;

RECT WindowBounds(void)
{
    RECT bounds;
    GetWindowRect(s_widget->window, &bounds);
    return bounds;
}

void SendBalloon(const WCHAR* text)
{
    COPYDATASTRUCT data = { COPYDATA_BALLOON, static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR)),
                            const_cast<WCHAR*>(text) };
    SendMessageW(s_widget->tray, WM_COPYDATA, reinterpret_cast<WPARAM>(s_widget->window),
                 reinterpret_cast<LPARAM>(&data));
}

// "Через 15 минут: ..." for every 15-minute mark passed since the last look.
void GiveReminders(ULONGLONG now)
{
    WCHAR text[256];
    if (now > s_widget->remindedUntil && KickoffReminder(s_widget->data, s_widget->remindedUntil, now, text, 256))
        SendBalloon(text);
    s_widget->remindedUntil = now;
}

// Sleeps until what is shown next changes: no wake-up while nothing on it can.
// A replay's clock may run faster: the wait is in real time.
void ScheduleChange(void)
{
    ULONGLONG ms = RealMsUntil(s_widget->view.nextChange);
    SetTimer(s_widget->window, kChangeTimer, ms > kLongestWaitMs ? kLongestWaitMs : static_cast<UINT>(ms), nullptr);
}

// The window's shape follows the layout: its size and rounded corners.
void ApplySize(void)
{
    const SIZE& size = s_widget->layout.size;
    if (size.cx == s_widget->shapedSize.cx && size.cy == s_widget->shapedSize.cy &&
        s_widget->layout.radius == s_widget->shapedRadius)
        return;
    RECT bounds = WindowBounds();
    POINT place = KeptOnScreen(bounds.left, bounds.top, size);
    SetWindowPos(s_widget->window, nullptr, place.x, place.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    int radius = s_widget->layout.radius;
    OwnedGdi<HRGN> shape(CreateRoundRectRgn(0, 0, size.cx + 1, size.cy + 1, radius, radius));
    if (shape && SetWindowRgn(s_widget->window, shape.Get(), TRUE))
        shape.Release(); // the window's once it was set
    s_widget->shapedSize = size;
    s_widget->shapedRadius = radius;
}

// Builds what is shown now, fits the window to it and redraws.
void Refresh(void)
{
    ULONGLONG now = WidgetNow();
    GiveReminders(now);
    BuildWidgetView(s_widget->data, now, s_widget->choice, &s_widget->view);
    LayOutWidget(s_widget->view, s_widget->fonts, &s_widget->layout);
    ApplySize();
    InvalidateRect(s_widget->window, nullptr, FALSE);
    NotifyAccessibleContentChanged(s_widget->window);
    ScheduleChange();
}

bool UseFontsFor(UINT dpi)
{
    if (s_widget->fonts.font[0] && s_widget->fonts.dpi == dpi)
        return true;
    WidgetFonts fonts;
    if (!CreateWidgetFonts(dpi, &fonts))
        return false;
    DestroyWidgetFonts(&s_widget->fonts);
    s_widget->fonts = fonts;
    return true;
}

// ---------------------------------------------------------------------------------
// What the user does.

void ShowPage(int page)
{
    s_widget->choice.page = (page + PAGE_COUNT) % PAGE_COUNT;
    Refresh();
}

void BrowseDay(ULONGLONG day)
{
    if (!day)
        return;
    s_widget->choice.page = PAGE_MATCHES;
    s_widget->choice.day = day == LocalDayNumber(WidgetNow()) ? 0 : day;
    Refresh();
}

void UseSkin(int skin)
{
    s_widget->skin = (skin + kSkinCount) % kSkinCount;
    WriteSettingDword(SETTINGS_KEY, VALUE_WIDGET_SKIN, static_cast<DWORD>(s_widget->skin));
    InvalidateRect(s_widget->window, nullptr, FALSE);
}

void SetCollapsed(bool collapsed)
{
    s_widget->choice.collapsed = collapsed;
    Refresh();
}

void ToggleWallpaper(void)
{
    if (CustomWallpaperIsOn())
        TurnCustomWallpaperOff(s_widget->picturePath);
    else
        TurnCustomWallpaperOn(s_widget->picturePath);
}

void RunCommand(WORD command)
{
    if (command >= CMD_PAGE_FIRST && command < CMD_PAGE_FIRST + PAGE_COUNT) {
        s_widget->choice.day = 0;
        ShowPage(command - CMD_PAGE_FIRST);
    } else if (command >= CMD_SKIN_FIRST && command < CMD_SKIN_FIRST + kSkinCount) {
        UseSkin(command - CMD_SKIN_FIRST);
    }
    switch (command) {
    case CMD_PAGE_PREVIOUS:
        ShowPage(s_widget->choice.page - 1);
        break;
    case CMD_PAGE_NEXT:
        ShowPage(s_widget->choice.page + 1);
        break;
    case CMD_DAY_PREVIOUS:
        BrowseDay(s_widget->view.previousDay);
        break;
    case CMD_DAY_NEXT:
        BrowseDay(s_widget->view.nextDay);
        break;
    case CMD_DAY_TODAY:
        BrowseDay(LocalDayNumber(WidgetNow()));
        break;
    case CMD_WALLPAPER:
        ToggleWallpaper();
        break;
    }
}

// The tray icon was double-clicked: the whole widget, where the user can see it.
void BringIntoView(void)
{
    s_widget->choice.collapsed = false;
    Refresh();
    KeepOnScreen(s_widget->window, s_widget->layout.size);
    ShowWindow(s_widget->window, SW_SHOWNOACTIVATE);
    RaiseForAWhile(s_widget->window);
}

void ShowWidgetMenu(POINT at)
{
    WidgetMenuState state = { s_widget->choice.page, s_widget->view.previousDay != 0, s_widget->view.nextDay != 0,
                              s_widget->skin, CustomWallpaperIsOn() };
    WORD command = ChooseFromWidgetMenu(s_widget->window, at, state);
    SendToBottom(s_widget->window);
    if (command)
        RunCommand(command);
}

// ---------------------------------------------------------------------------------
// The window's messages.

void OnPaint(HWND window)
{
    PaintScope paint(window);
    const SIZE& size = s_widget->layout.size;
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
        PaintWidget(memory.Get(), s_widget->view, s_widget->layout, s_widget->fonts, GetSkin(s_widget->skin));
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
    if (WORD command = ArrowCommandAt(s_widget->layout, point)) {
        RunCommand(command);
        return;
    }
    BeginDrag(window, point);
}

void OnRightButtonUp(LPARAM lParam)
{
    POINT at = ClientPoint(lParam);
    ClientToScreen(s_widget->window, &at);
    ShowWidgetMenu(at);
}

bool OnSetCursor(HWND window)
{
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    if (!ArrowCommandAt(s_widget->layout, cursor))
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

// The widget keeps its top left corner and takes the new size; the suggested
// rectangle is not read, as a message from another process may carry any pointer.
void OnDpiChanged(WPARAM wParam)
{
    UINT dpi = HIWORD(wParam);
    if (dpi < kLowestDpi || dpi > kHighestDpi || !UseFontsFor(dpi))
        return;
    Refresh();
    KeepOnScreen(s_widget->window, s_widget->layout.size);
}

// The engine's host messages from the tray window.
void OnHostMessage(UINT message)
{
    switch (message) {
    case WM_ENGINE_SWITCH_SKIN:
        UseSkin(s_widget->skin + 1);
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
        TurnCustomWallpaperOn(s_widget->picturePath);
        break;
    case WM_ENGINE_WALLPAPER_OFF:
        TurnCustomWallpaperOff(s_widget->picturePath);
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
            SendMessageW(s_widget->tray, WM_TRAY_SET_STATE, static_cast<WPARAM>(report->trayState), 0);
        FreeNetworkReport(report);
    }
}

int ProvideAccessibleItems(HWND, AccessibleItem* items, int capacity)
{
    return ReadableItems(s_widget->view, s_widget->layout, s_widget->accessibleNames, items, capacity);
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
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(window, lParam);
        return 0;
    case WM_MOUSEMOVE:
        DragTo(window, ClientPoint(lParam));
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        EndDrag(window, s_widget->layout.size);
        return 0;
    case WM_CAPTURECHANGED:
        EndDrag(window, s_widget->layout.size);
        return 0;
    case WM_RBUTTONUP:
        OnRightButtonUp(lParam);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && OnSetCursor(window))
            return TRUE;
        break;
    case WM_COMMAND:
        RunCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kChangeTimer)
            Refresh();
        return 0;
    case WM_TIMECHANGE:
        s_widget->remindedUntil = WidgetNow(); // no reminders for the hours the clock skipped
        ForgetZoneRules();                     // the zone may have changed too
        Refresh();
        return 0;
    case WM_DISPLAYCHANGE:
        KeepOnScreen(s_widget->window, s_widget->layout.size);
        return 0;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            KeepOnScreen(s_widget->window, s_widget->layout.size);
        else if (wParam == SPI_SETDESKWALLPAPER)
            NoticeWallpaperChange(s_widget->picturePath);
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
        OnDpiChanged(wParam);
        return 0;
    case WM_WIDGET_TO_BOTTOM:
        SendToBottom(s_widget->window);
        return 0;
    case WM_NETWORK_REPORT:
        TakeNetworkReports();
        return 0;
    case WM_GETOBJECT:
        return AnswerAccessibilityRequest(window, wParam, lParam, ProvideAccessibleItems);
    case WM_CLOSE:
        return 0; // the widget ends with the Host
    case WM_DESTROY:
        KillTimer(window, kChangeTimer);
        EndDrag(window, s_widget->layout.size); // a drag or a raise of this window ends with it
        EndRaise(window);
        ReleaseAccessibility(window);
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

HWND CreateWidgetWindow(HINSTANCE module, HWND trayWindow, const WCHAR* installFolder, const TournamentData& data,
                        DWORD* error)
{
    s_widget = NewOnHeap<WidgetState>().Release(); // until DestroyWidgetWindow
    if (!s_widget) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    s_widget->tray = trayWindow;
    s_widget->data = data;
    s_widget->remindedUntil = WidgetNow();
    lstrcpynW(s_widget->picturePath, installFolder, MAX_PATH);
    if (lstrlenW(s_widget->picturePath) + lstrlenW(kPictureName) < MAX_PATH)
        lstrcatW(s_widget->picturePath, kPictureName);
    else
        s_widget->picturePath[0] = 0; // no picture to be found: wallpaper ON then refuses
    NoticeWallpaperChange(s_widget->picturePath); // the user may have chosen another while it did not run
    DWORD skin = 0;
    ReadSettingDword(SETTINGS_KEY, VALUE_WIDGET_SKIN, &skin);
    s_widget->skin = skin < static_cast<DWORD>(kSkinCount) ? static_cast<int>(skin) : 0;

    s_widget->module = module;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WidgetWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WIDGET_WINDOW_CLASS;
    RegisterClassExW(&windowClass);

    // Owned, so no taskbar button even where the desktop has no shell window (Wine's).
    HWND owner = GetShellWindow();
    s_widget->window = CreateWindowExW(WS_EX_TOOLWINDOW, WIDGET_WINDOW_CLASS, kWidgetTitle, WS_POPUP, 0, 0, 1, 1,
                                      owner ? owner : trayWindow, nullptr, module, nullptr);
    if (!s_widget->window) {
        *error = GetLastError();
        DestroyWidgetWindow();
        return nullptr;
    }
    // The fonts of the monitor it will stand on: place it once at the system's DPI,
    // then lay it out again at its own.
    UINT dpi = WindowDpi(s_widget->window);
    if (!UseFontsFor(dpi)) {
        *error = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        DestroyWidgetWindow();
        return nullptr;
    }
    BuildWidgetView(s_widget->data, WidgetNow(), s_widget->choice, &s_widget->view);
    LayOutWidget(s_widget->view, s_widget->fonts, &s_widget->layout);
    POINT place = StartPlace(s_widget->layout.size, dpi);
    SetWindowPos(s_widget->window, nullptr, place.x, place.y, s_widget->layout.size.cx, s_widget->layout.size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    s_widget->placed = true;
    UseFontsFor(WindowDpi(s_widget->window));
    Refresh();

    ShowWindow(s_widget->window, SW_SHOWNOACTIVATE);
    SendToBottom(s_widget->window);
    PostMessageW(s_widget->window, WM_WIDGET_TO_BOTTOM, 0, 0);
    UpdateWindow(s_widget->window); // painted before the Host goes on
    return s_widget->window;
}

void SetWidgetData(const TournamentData& data)
{
    if (!s_widget)
        return;
    s_widget->data = data;
    Refresh();
}

void DestroyWidgetWindow(void)
{
    if (!s_widget)
        return;
    if (s_widget->window) {
        if (s_widget->placed)
            SavePlace(s_widget->window);
        DestroyWindow(s_widget->window);
    }
    DestroyWidgetFonts(&s_widget->fonts);
    UnregisterClassW(WIDGET_WINDOW_CLASS, s_widget->module);
    OwnedHeap<WidgetState> freed(s_widget);
    s_widget = nullptr;
}
