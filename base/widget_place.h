// Where the widget stands: its place on a monitor (kept inside a visible work area,
// remembered between runs) and its layer. On the desktop layer it stays below every
// other window: a request to raise it, from any program, is turned into one to the
// bottom. Only the tray's double-click raises it, until the user activates another
// window; then it goes back to the bottom.
#pragma once

#include <windows.h>

// The window's DPI: its monitor's on Windows 10 and later, else the system's.
UINT WindowDpi(HWND window);
// A widget of this size at (left, top), moved inside a visible monitor's work area.
POINT KeptOnScreen(LONG left, LONG top, SIZE size);
// Moves the window inside a visible monitor's work area when it is not.
void KeepOnScreen(HWND window, SIZE size);
// The stored place, or the first time the top right of the primary work area.
POINT StartPlace(SIZE size, UINT dpi);
void SavePlace(HWND window);

// Dragged with the mouse: from the point of the window (client pixels) the button
// went down on, to wherever the cursor takes it; at the end kept on screen and saved.
void BeginDrag(HWND window, POINT grabbed);
void DragTo(HWND window, POINT cursor);
void EndDrag(HWND window, SIZE size);

// To the bottom of the z-order, without activating it.
void SendToBottom(HWND window);
// Above other windows, and active, until the user activates another window.
void RaiseForAWhile(HWND window);
// WM_WINDOWPOSCHANGING: a z-order change other than to the bottom is made one to the
// bottom, unless the widget is raised for a while.
void KeepBelow(HWND window, WINDOWPOS* position);
// The widget lost the activation (or is going): a raise ends, and it goes below.
void EndRaise(HWND window);
