#include "accessibility.h"

LRESULT AnswerAccessibilityRequest(HWND widget, WPARAM wParam, LPARAM lParam, AccessibleItemSource)
{
    return DefWindowProcW(widget, WM_GETOBJECT, wParam, lParam);
}

void NotifyAccessibleContentChanged(HWND)
{
}

void ReleaseAccessibility(HWND)
{
}
