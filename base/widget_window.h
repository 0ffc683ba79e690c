// The widget's window on the desktop: owned by the shell's desktop window (or, where
// there is none, by the Host's tray window) so that it has no taskbar button and
// stays when the desktop is shown; below other programs' windows; a click on it
// never takes the focus from the user's work.
#pragma once

#include <windows.h>

#include "tournament_data.h"

#define WIDGET_WINDOW_CLASS L"quornel_widget"

// Creates, places and paints the widget, its window class registered for `module`.
// Its pictures are in installFolder; the tray window is where balloons go. Null on
// failure, with the system error in *error.
HWND CreateWidgetWindow(HINSTANCE module, HWND trayWindow, const WCHAR* installFolder, const TournamentData& data,
                        DWORD* error);
// Shows new data (a download) from now on.
void SetWidgetData(const TournamentData& data);
// Saves the position and destroys the window with everything it made.
void DestroyWidgetWindow(void);
