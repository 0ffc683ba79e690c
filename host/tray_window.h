// The hidden tray window: owner of the notification-area icon and its menu,
// relay between the user's tray commands and the engine window.
#pragma once

#include <windows.h>

#define TRAY_WINDOW_CLASS L"tray_wnd"
#define TRAY_WINDOW_TITLE L"Quornel Football World Cup 2010"

// Tray states, as the engine reports them with WM_TRAY_SET_STATE.
enum TrayState { TRAY_ONLINE = 0, TRAY_OFFLINE = 1 };

HWND CreateTrayWindow(void);
BOOL LoadTrayIcons(void);
void DestroyTrayIcons(void);

// Adds, modifies or deletes the tray icon (action NIM_ADD, NIM_MODIFY or NIM_DELETE).
BOOL NotifyTrayIcon(HWND window, DWORD action, UINT id, HICON icon, const WCHAR* tip);
BOOL ShowTrayBalloon(HWND window, UINT id, const WCHAR* text, const WCHAR* title);

// The current tray state's icon and tip.
HICON CurrentTrayIcon(void);
const WCHAR* CurrentTrayTip(void);

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
