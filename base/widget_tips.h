// Tooltips over the widget's match lines (the scorers, the shoot-out's kicks, or how
// to see a hidden score): the standard tooltip control, made when the mouse first
// comes over the widget, so that comctl32 is not loaded at every start. Main thread.
#pragma once

#include <windows.h>

struct MatchTip {
    RECT place;        // the line, client coordinates
    const WCHAR* text; // not kept: the control copies it
};
// The tips as they are now; nothing is done while they have not changed. With
// `create` the control is made if need be, else tips are set only once it exists.
void SetMatchTips(HWND widget, const MatchTip* tips, int count, UINT dpi, bool create);
// The tooltip control, or null before the mouse came.
HWND MatchTipsWindow(void);
// With the widget's window: the control goes with it.
void DestroyMatchTips(void);
