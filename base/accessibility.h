// The widget as screen readers see it: the window's client object answers
// WM_GETOBJECT with its own IAccessible, whose children are the widget's lines
// (static texts) and its arrows (push buttons that act when invoked).
#pragma once

#include <windows.h>

// One line or button of the widget as it is shown now.
struct AccessibleItem {
    const WCHAR* name; // what a screen reader says; valid until the widget changes
    RECT bounds;       // client coordinates
    bool button;       // an arrow: invoking it posts WM_COMMAND with `command`
    WORD command;
};

// Fills up to `capacity` items in reading order; gives how many there are.
typedef int (*AccessibleItemSource)(HWND widget, AccessibleItem* items, int capacity);

// Answers WM_GETOBJECT for the widget: the client object for OBJID_CLIENT, the
// default handling for everything else.
LRESULT AnswerAccessibilityRequest(HWND widget, WPARAM wParam, LPARAM lParam, AccessibleItemSource source);
// Tells screen readers that the widget's lines changed (after a redraw).
void NotifyAccessibleContentChanged(HWND widget);
// Detaches the object from the widget before the window goes: a client that still
// holds it gets CO_E_OBJNOTCONNECTED and never a call into a destroyed window.
void ReleaseAccessibility(HWND widget);
