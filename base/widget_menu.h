// The widget's own menu (its right click): the pages, the match days, the skin, the
// wallpaper, the favourite team, the layer and the lock, each marked as it stands now;
// the settings dialog; the updates; a download now; and where the data come from.
#pragma once

#include <windows.h>

#include "preferences.h"

struct WidgetMenuState {
    int page;           // WidgetPage shown
    bool previousDay;   // the day arrows lead somewhere
    bool nextDay;
    int skin;
    bool wallpaper;     // the widget's wallpaper is set
    const TournamentData* data; // the teams, for "Моя команда"
    Preferences preferences;
    const WCHAR* dataSource;    // where the data come from, shown disabled
    bool dataAddress;           // a data address is set: "Обновить сейчас" can ask
    const WCHAR* updates;       // the updates' state, shown disabled
    bool canCheckUpdates;       // the build has an updater
    bool updatePending;         // a package waits: it can be installed now
};

// Shows the menu at `at` (screen pixels) for `widget` and gives the chosen command
// (a WidgetCommand), or 0. The user's window has the foreground back afterwards.
WORD ChooseFromWidgetMenu(HWND widget, POINT at, const WidgetMenuState& state);
