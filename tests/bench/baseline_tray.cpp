// The least a tray program does: one hidden window, one icon in the notification
// area, one message loop. The benchmark's yardstick for the Host, built with the
// same product flags so that start-up and size compare fairly.
#include <windows.h>
#include <shellapi.h>

#include "bench_protocol.h"

namespace {

const UINT kTrayCallback = WM_APP;

void FillIconRecord(NOTIFYICONDATAW* data, HWND window)
{
    ZeroMemory(data, sizeof(*data));
    data->cbSize = sizeof(*data);
    data->hWnd = window;
    data->uID = 0;
}

LRESULT CALLBACK BaselineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (wParam != BASELINE_EXIT_COMMAND)
            break;
        DestroyWindow(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY: {
        NOTIFYICONDATAW data;
        FillIconRecord(&data, window);
        Shell_NotifyIconW(NIM_DELETE, &data);
        PostQuitMessage(0);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = BaselineWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = BASELINE_TRAY_CLASS;
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, BASELINE_TRAY_CLASS, BASELINE_TRAY_TITLE, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;

    NOTIFYICONDATAW data;
    FillIconRecord(&data, window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION); // shared stock icon: nothing to release
    lstrcpynW(data.szTip, BASELINE_TRAY_TITLE, ARRAYSIZE(data.szTip));
    Shell_NotifyIconW(NIM_ADD, &data);

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
