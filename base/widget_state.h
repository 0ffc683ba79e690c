// The widget's whole state, shared by its window (widget_window.cpp) and what the
// user does with it (widget_actions.cpp): one window per process, touched only by
// the main thread.
#pragma once

#include <windows.h>

#include "live_score.h"
#include "preferences.h"
#include "tournament_data.h"
#include "widget_content.h"
#include "widget_drawing.h"
#include "widget_reading.h"

struct WidgetState {
    HINSTANCE module;
    HWND window;
    HWND tray;
    WCHAR picturePath[MAX_PATH];
    TournamentData data;
    ViewChoice choice;
    WidgetView view;
    WidgetLayout layout;
    WidgetFonts fonts;
    SIZE shapedSize;         // the size and corners the window's region was made for
    int shapedRadius;
    int skin;
    Preferences preferences; // in effect
    bool placed;             // it stands where the user saw it: its place may be saved
    ULONGLONG remindedUntil; // reminders up to this moment have been given
    ULONGLONG startedAt;     // the widget's start on its clock: no news from before it
    Announced announced;     // the goals and final whistles told
    LineDetails details;           // the lines' scorers, for their tooltips and a screen reader
    ReadableNames accessibleNames; // what a screen reader reads
};
// On the heap while the widget lives (some 60 KB, which a static would add to the
// DLL's file: mingw keeps zeroed statics in .data). A plain pointer, not an owner:
// base.dll has no C runtime to run a static's destructor; DestroyWidgetWindow frees it.
extern WidgetState* g_widget;

// widget_window.cpp: builds what is shown now, fits the window to it and redraws.
void RefreshWidget(void);

// widget_actions.cpp: the arrows' and menus' commands (a WidgetCommand; others are
// ignored), the widget's own menu at a screen point, and the tray's requests.
void RunWidgetCommand(WORD command);
void ShowWidgetMenu(POINT at);
void UseSkin(int skin);
void SetCollapsed(bool collapsed);
// The tray icon was double-clicked: the whole widget, where the user can see it.
void BringIntoView(void);
// What is in effect (g_widget->preferences) reaches the view, the clock and the window.
void ApplyPreferences(void);
