// The widget's window on the desktop: below other programs' windows, no taskbar
// button, not activated by a click.
#pragma once

#include <windows.h>

#define WIDGET_WINDOW_CLASS L"quornel_widget"

// Creates and shows the widget; its files are in installFolder. trayWindow owns it
// where the desktop has no shell window. Null on failure, with the system error in
// *error.
HWND CreateWidgetWindow(HWND trayWindow, const WCHAR* installFolder, DWORD* error);
void DestroyWidgetWindow(void);
