#include "widget_window.h"

#include "../host/engine_interface.h"
#include "accessibility.h"
#include "wallpaper.h"

namespace {

const WCHAR kTitle[] = L"Чемпионат мира по футболу 2010";

HWND s_widget;
WCHAR s_picturePath[MAX_PATH];

void PaintWidget(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, kTitle, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &paint);
}

int ProvideAccessibleItems(HWND window, AccessibleItem* items, int capacity)
{
    if (capacity < 1)
        return 1;
    items[0].name = kTitle;
    GetClientRect(window, &items[0].bounds);
    items[0].button = false;
    items[0].command = 0;
    return 1;
}

LRESULT CALLBACK WidgetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintWidget(window);
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_GETOBJECT:
        return AnswerAccessibilityRequest(window, wParam, lParam, ProvideAccessibleItems);
    case WM_ENGINE_WALLPAPER_ON:
        TurnCustomWallpaperOn(s_picturePath);
        return 0;
    case WM_ENGINE_WALLPAPER_OFF:
        TurnCustomWallpaperOff();
        return 0;
    case WM_DESTROY:
        ReleaseAccessibility(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HWND CreateWidgetWindow(HWND trayWindow, const WCHAR* installFolder, DWORD* error)
{
    lstrcpynW(s_picturePath, installFolder, MAX_PATH);
    if (lstrlenW(s_picturePath) + lstrlenW(L"\\images\\wallpaper.bmp") < MAX_PATH)
        lstrcatW(s_picturePath, L"\\images\\wallpaper.bmp");
    HINSTANCE module = GetModuleHandleW(L"base.dll");
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WidgetWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WIDGET_WINDOW_CLASS;
    RegisterClassExW(&windowClass);
    HWND owner = GetShellWindow();
    s_widget = CreateWindowExW(WS_EX_TOOLWINDOW, WIDGET_WINDOW_CLASS, kTitle, WS_POPUP, 700, 40, 300, 120,
                               owner ? owner : trayWindow, nullptr, module, nullptr);
    if (!s_widget) {
        *error = GetLastError();
        return nullptr;
    }
    SetWindowPos(s_widget, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return s_widget;
}

void DestroyWidgetWindow(void)
{
    DestroyWindow(s_widget);
    s_widget = nullptr;
    UnregisterClassW(WIDGET_WINDOW_CLASS, GetModuleHandleW(L"base.dll"));
}
