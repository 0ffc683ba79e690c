// Where the widget stands: its place on a monitor (kept inside a visible work area,
// remembered between runs, its edges snapping to the work area's while dragged), its
// layer and its opacity. On the desktop layer it stays below every other window: a
// request to raise it, from any program, is turned into one to the bottom. Only the
// tray's double-click raises it, until the user activates another window; then it
// goes back to the bottom. As an ordinary window a click brings it to the front; on
// the top layer it stays above every ordinary window. Main thread only.
#pragma once

#include <windows.h>

// The window's DPI: its monitor's on Windows 10 and later, else the system's.
UINT WindowDpi(HWND window);
// A widget of this size at (left, top), moved inside a visible monitor's work area.
POINT KeptOnScreen(LONG left, LONG top, SIZE size);
// Moves the window inside a visible monitor's work area when it is not; back to the
// user's place once a monitor shows that again.
void KeepOnScreen(HWND window, SIZE size);
// The stored place, or the first time the top right of the primary work area, kept
// inside a visible monitor's work area.
POINT StartPlace(SIZE size, UINT dpi);
// Stores where the window stands, unless it stands elsewhere only because no monitor
// shows the user's place (a laptop undocked): then the user's place stays stored.
void SavePlace(HWND window);

// Dragged with the mouse: from the point of the window (client pixels) the button
// went down on, to wherever the cursor takes it; at the end kept on screen and saved.
// Locked, a drag does nothing.
void SetPlaceLocked(bool locked);
void BeginDrag(HWND window, POINT grabbed);
void DragTo(HWND window, POINT cursor);
void EndDrag(HWND window, SIZE size);

// After a change of DPI, the place for the widget's new `size`; it stood at `was`.
// The grabbed point of a drag under way is rescaled from `from` to `to` DPI. The
// system's suggested rectangle (`suggested`, its own record; null when there is none)
// gives the place; without one the widget goes where the system would put it: during
// a drag the grabbed point under the cursor, else its centre kept. Kept on screen
// unless dragged.
POINT PlaceForNewDpi(const RECT* suggested, const RECT& was, SIZE size, UINT from, UINT to);
// `size` about the centre of `was`: the monitor that shows most of the widget still
// does, so a widget across two monitors of different DPI does not go back and forth.
POINT Recentred(const RECT& was, SIZE size);

// A place for a widget of `size`, its edges moved onto those of `work` that are
// within `reach` pixels.
POINT Snapped(POINT place, SIZE size, const RECT& work, int reach);
const int kSnapReach = 10; // pixels at 96 DPI

// Puts the window in its layer (a WidgetLayer) and keeps it there.
void SetWidgetLayer(HWND window, int layer);
// WM_MOUSEACTIVATE's answer: only the desktop layer refuses the activation.
int MouseActivation(void);
// Opacity in percent; below 100 the window is layered with that alpha, and opaque
// while the mouse is over it: from a WM_MOUSEMOVE until the timer kMouseOverTimer
// finds the cursor outside. The timer runs only then; a cursor's position is read,
// not tracked, since tracking ends unnoticed when the window moves under the mouse.
void SetWidgetOpacity(HWND window, DWORD percent);
void NoticeMouseOver(HWND window);
void CheckMouseOver(HWND window);
const UINT_PTR kMouseOverTimer = 2;
const UINT kMouseOverCheckMs = 250;

// Back in its layer without activating it: the bottom of the z-order on the desktop
// layer, above the others on the top one. A widget raised for a while stays raised.
void ReturnToLayer(HWND window);
// Above other windows, and active; on the desktop layer until the user activates
// another window.
void RaiseForAWhile(HWND window);
// WM_WINDOWPOSCHANGING: a z-order change other than to the bottom is made one to the
// bottom, unless the widget is raised for a while.
void KeepBelow(HWND window, WINDOWPOS* position);
// The widget lost the activation (or is going): a raise ends, and it goes below.
void EndRaise(HWND window);
