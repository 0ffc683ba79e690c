// The widget's own menu (its right click): the pages, the match days, the skin and the
// wallpaper, each marked as it stands now.
#pragma once

#include <windows.h>

struct WidgetMenuState {
    int page;           // WidgetPage shown
    bool previousDay;   // the day arrows lead somewhere
    bool nextDay;
    int skin;
    bool wallpaper;     // the widget's wallpaper is set
};

// Shows the menu at `at` (screen pixels) for `widget` and gives the chosen command
// (a WidgetCommand), or 0. The user's window has the foreground back afterwards.
WORD ChooseFromWidgetMenu(HWND widget, POINT at, const WidgetMenuState& state);
