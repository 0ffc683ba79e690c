#include "tray_window.h"

#include <shellapi.h>

#include "engine_interface.h"
#include "engine_window.h"
#include "host_resources.h"
#include "host_warning.h"
#include "proxy_dialog.h"
#include "settings_store.h"

namespace {

const WCHAR* const kTrayIconFiles[2] = { L"images/tray.ico", L"images/tray_offline.ico" };
// The second letter of the online tip is a Latin "e"; the engine's texts have it so.
const WCHAR* const kTrayTips[2] = { L"Чeмпионат Мира по Футболу 2010", L"Оффлайн. - нет интернета" };

const UINT kBalloonTimeoutMs = 1500;

HICON s_trayIcons[2];
int s_trayState = TRAY_ONLINE;
HMENU s_trayMenu;
UINT s_taskbarCreated; // registered "TaskbarCreated": the notification area restarted
bool s_iconShown;      // the icon is in the notification area: added and not deleted since
bool s_trayEnded;      // WM_DESTROY was handled; the window may still exist for a while

static_assert(sizeof(NOTIFYICONDATAW) == 976, "the shell expects the full 64-bit record");

HMENU TrayPopup(void)
{
    return GetSubMenu(s_trayMenu, 0);
}

// Tells the engine first, then moves the check mark: the mark is the toggle's only record.
// While the engine handles the send, a WM_DESTROY may release the menu: the popup is
// fetched again afterwards, and is then null.
void ToggleMenuItem(UINT id, UINT offMessage, UINT onMessage)
{
    if (GetMenuState(TrayPopup(), id, MF_BYCOMMAND) == MF_CHECKED) {
        SendToEngine(offMessage);
        CheckMenuItem(TrayPopup(), id, MF_BYCOMMAND | MF_UNCHECKED);
    } else {
        SendToEngine(onMessage);
        CheckMenuItem(TrayPopup(), id, MF_BYCOMMAND | MF_CHECKED);
    }
}

LRESULT OnCreate(void)
{
    s_trayMenu = LoadMenuW(GetModuleHandleW(nullptr), L"sample");
    if (s_trayMenu)
        return 1;
    MessageBoxW(nullptr, L"debug:", L"loader.exe: cant load tray_menu resourse", MB_OK);
    return 0;
}

// May run twice (a second Host's "/exit", then the tear-down): every handle is
// forgotten once released and the icon deleted only while it is shown, so the second
// pass releases nothing. A second Host's "/exit" may come while the tray menu is open:
// it is ended before it is destroyed, and ShowTrayMenu posts the WM_QUIT anew.
void OnDestroy(HWND window)
{
    s_trayEnded = true;
    if (s_trayMenu) {
        EndMenu();
        DestroyMenu(s_trayMenu);
        s_trayMenu = nullptr;
    }
    if (s_iconShown)
        NotifyTrayIcon(window, NIM_DELETE, 0, CurrentTrayIcon(), L"");
    DestroyTrayIcons();
    PostQuitMessage(0);
}

// The data comes from any process: read only within the cbData bytes it carries.
void OnCopyData(HWND window, const COPYDATASTRUCT* data)
{
    if (!data || data->dwData != COPYDATA_BALLOON || !data->lpData)
        return;
    // The balloon holds 255 characters; a text without terminator is cut where its data ends.
    WCHAR text[256];
    const WCHAR* source = static_cast<const WCHAR*>(data->lpData);
    DWORD units = data->cbData / sizeof(WCHAR);
    if (units == 0)
        return;
    if (units > 255)
        units = 255;
    DWORD n = 0;
    while (n < units && source[n])
        ++n;
    text[n] = 0;
    CopyMemory(text, source, n * sizeof(WCHAR));
    ShowTrayBalloon(window, 0, text, kTrayTips[TRAY_ONLINE]);
}

// Only a menu's command (notification code 0) matches, so the whole wParam is compared.
bool OnCommand(HWND window, WPARAM command)
{
    (void)window;
    switch (command) {
    case IDM_CUSTOM_WALLPAPER:
        ToggleMenuItem(IDM_CUSTOM_WALLPAPER, WM_ENGINE_WALLPAPER_OFF, WM_ENGINE_WALLPAPER_ON);
        return true;
    case IDM_PROXY_SETTINGS:
        OpenProxyDialog(); // does nothing while the dialog is open
        return true;
    case IDM_COLLAPSE:
        ToggleMenuItem(IDM_COLLAPSE, WM_ENGINE_COLLAPSE_OFF, WM_ENGINE_COLLAPSE_ON);
        return true;
    case IDM_SWITCH_SKIN:
        SendToEngine(WM_ENGINE_SWITCH_SKIN);
        return true;
    case IDM_EXIT:
        // The icon stays until the tear-down destroys the window.
        PostQuitMessage(0);
        return true;
    }
    return false;
}

void ShowTrayMenu(HWND window)
{
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(window);
    TrackPopupMenuEx(TrayPopup(), TPM_CENTERALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, window, nullptr);
    // Without a message right after the menu, it would not close on a click elsewhere.
    PostMessageW(window, WM_NULL, 0, 0);
    // A WM_DESTROY that ended the menu posted WM_QUIT, and the menu's own loop may
    // have taken it: post it again for the Host's loop.
    if (s_trayEnded)
        PostQuitMessage(0);
}

void OnTrayCallback(HWND window, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_RBUTTONUP:
        ShowTrayMenu(window);
        break;
    case WM_LBUTTONDBLCLK:
        SendToEngine(WM_ENGINE_TRAY_DBLCLK);
        break;
    }
}

void OnSetState(HWND window, WPARAM state)
{
    if (state >= 2)
        return;
    s_trayState = static_cast<int>(state);
    NotifyTrayIcon(window, NIM_MODIFY, 0, CurrentTrayIcon(), CurrentTrayTip());
}

} // namespace

HICON CurrentTrayIcon(void)
{
    return s_trayIcons[s_trayState];
}

const WCHAR* CurrentTrayTip(void)
{
    return kTrayTips[s_trayState];
}

HWND CreateTrayWindow(void)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    s_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = TRAY_WINDOW_CLASS;
    RegisterClassExW(&windowClass); // an earlier registration does not stop creation

    return CreateWindowExW(0, TRAY_WINDOW_CLASS, TRAY_WINDOW_TITLE, WS_OVERLAPPEDWINDOW,
                           0, 0, 0, 0, nullptr, nullptr, module, nullptr);
}

BOOL LoadTrayIcons(void)
{
    for (int state = TRAY_ONLINE; state <= TRAY_OFFLINE; ++state) {
        // Taken at the size stored in the file; the handle is ours to destroy.
        s_trayIcons[state] = static_cast<HICON>(LoadImageW(nullptr, kTrayIconFiles[state], IMAGE_ICON, 0, 0,
                                                           LR_LOADFROMFILE | LR_LOADTRANSPARENT | LR_VGACOLOR));
        if (!s_trayIcons[state]) {
            ShowHostWarning(L"не могу загрузить иконку для трея: '%s'", kTrayIconFiles[state]);
            return FALSE;
        }
    }
    return TRUE;
}

void DestroyTrayIcons(void)
{
    for (HICON& icon : s_trayIcons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

BOOL NotifyTrayIcon(HWND window, DWORD action, UINT id, HICON icon, const WCHAR* tip)
{
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_CALLBACK;
    data.hIcon = icon;
    if (tip)
        lstrcpynW(data.szTip, tip, ARRAYSIZE(data.szTip));
    BOOL done = Shell_NotifyIconW(action, &data);
    if (action == NIM_ADD && done)
        s_iconShown = true;
    else if (action == NIM_DELETE)
        s_iconShown = false;
    return done;
}

BOOL ShowTrayBalloon(HWND window, UINT id, const WCHAR* text, const WCHAR* title)
{
    if (!text || !title)
        return FALSE;
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = id;
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_INFO;
    data.uTimeout = kBalloonTimeoutMs;
    lstrcpynW(data.szInfo, text, ARRAYSIZE(data.szInfo));
    lstrcpynW(data.szInfoTitle, title, ARRAYSIZE(data.szInfoTitle));
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == s_taskbarCreated && s_taskbarCreated) {
        // The notification area came back: put the user's handle on the Host back too,
        // unless the Host is already ending.
        if (!s_trayEnded)
            NotifyTrayIcon(window, NIM_ADD, 0, CurrentTrayIcon(), CurrentTrayTip());
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_COPYDATA:
        OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case WM_COMMAND:
        if (OnCommand(window, wParam))
            return 0;
        break;
    case WM_INITMENUPOPUP:
        // Read afresh each time: other software writes the flag.
        CheckMenuItem(reinterpret_cast<HMENU>(wParam), IDM_CUSTOM_WALLPAPER,
                      MF_BYCOMMAND | (ReadUseCustomWallpaper() ? MF_CHECKED : MF_UNCHECKED));
        return 0;
    case WM_TRAY_CALLBACK:
        OnTrayCallback(window, lParam);
        return 0;
    case WM_TRAY_SET_STATE:
        OnSetState(window, wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
