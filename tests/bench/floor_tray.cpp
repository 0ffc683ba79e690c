// The least a tray program does that must do the Host's work: the version check,
// its own family mutex, one hidden window that loads a menu like the Host's, the
// two tray icon files, one icon in the notification area, the engine in base.dll
// (imported, as the Host does) started with the same parameters and stopped after
// the one message loop. Nothing else: no proxy dialog, no settings, no balloons.
// The benchmark's floor for the Host, built with the same product flags.
#include <windows.h>
#include <shellapi.h>

#include "bench_protocol.h"
#include "host/engine_interface.h"

namespace {

const UINT kTrayCallback = WM_APP;
const WCHAR* const kIconFiles[2] = { L"images/tray.ico", L"images/tray_offline.ico" };

HMENU s_menu;
HICON s_icons[2];
HWND s_engineWindow;

BOOL NotifyIcon(HWND window, DWORD action)
{
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 0;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = s_icons[0];
    lstrcpynW(data.szTip, FLOOR_TRAY_TITLE, ARRAYSIZE(data.szTip));
    return Shell_NotifyIconW(action, &data);
}

LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        s_menu = LoadMenuW(GetModuleHandleW(nullptr), FLOOR_TRAY_MENU);
        return s_menu ? 0 : -1;
    case WM_COMMAND:
        if (wParam != BASELINE_EXIT_COMMAND)
            break;
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        NotifyIcon(window, NIM_DELETE);
        DestroyMenu(s_menu);
        for (HICON icon : s_icons) {
            if (icon)
                DestroyIcon(icon);
        }
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool WindowsIsTooOld(void)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    GetVersionExW(&version);
    return version.dwMajorVersion < 5;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR tail, int)
{
    if (WindowsIsTooOld())
        return 1;
    HANDLE running = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, FLOOR_TRAY_MUTEX);
    if (running) {
        CloseHandle(running);
        return 1;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, FLOOR_TRAY_MUTEX);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = FloorWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = FLOOR_TRAY_CLASS;
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, FLOOR_TRAY_CLASS, FLOOR_TRAY_TITLE, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    if (!window)
        return 1;
    for (int i = 0; i < 2; ++i)
        s_icons[i] = static_cast<HICON>(LoadImageW(nullptr, kIconFiles[i], IMAGE_ICON, 0, 0,
                                                   LR_LOADFROMFILE | LR_LOADTRANSPARENT | LR_VGACOLOR));
    NotifyIcon(window, NIM_ADD);

    static QuornelInitParams params;
    params.trayWindow = window;
    lstrcpynW(params.commandLine, tail ? tail : L"", ARRAYSIZE(params.commandLine) - 1);
    GetCurrentDirectoryW(ARRAYSIZE(params.currentDirectory), params.currentDirectory);
    Result result = {};
    int exitCode = 1;
    if (RunQuornel(&params, &s_engineWindow, &result)) {
        RedrawWindow(s_engineWindow, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
        MSG message = {};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        ExitQuornel();
        exitCode = 0;
    }
    DestroyWindow(window);
    CloseHandle(mutex);
    return exitCode;
}
