#include "widget_window.h"

namespace {

HWND s_widget;

void PaintWidget(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, L"Чемпионат мира по футболу 2010", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &paint);
}

LRESULT CALLBACK WidgetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintWidget(window);
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HWND CreateWidgetWindow(HWND trayWindow, DWORD* error)
{
    HINSTANCE module = GetModuleHandleW(L"base.dll");
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WidgetWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WIDGET_WINDOW_CLASS;
    RegisterClassExW(&windowClass);
    HWND owner = GetShellWindow();
    s_widget = CreateWindowExW(WS_EX_TOOLWINDOW, WIDGET_WINDOW_CLASS, L"Чемпионат мира по футболу 2010", WS_POPUP,
                               700, 40, 300, 120, owner ? owner : trayWindow, nullptr, module, nullptr);
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
