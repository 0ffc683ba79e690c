// What the user chose for the widget: a favourite team, reminders, the zone its times
// are shown in, where it stands, how opaque it is and whether it may be dragged.
// Stored under the settings key, one value each; a missing, wrong-typed or
// out-of-range value reads as its default, never as a failure.
#pragma once

#include <windows.h>

#include "tournament_data.h"

enum WidgetLayer {
    LAYER_DESKTOP, // below every window; only the tray's double-click raises it
    LAYER_NORMAL,  // an ordinary window: a click brings it to the front
    LAYER_TOPMOST, // above every ordinary window
    LAYER_COUNT
};

// Which matches' goals and final whistles come as balloons.
enum GoalBalloons {
    GOAL_BALLOONS_OFF,
    GOAL_BALLOONS_ALL,
    GOAL_BALLOONS_MY_TEAM, // the favourite team's only (none while no team is chosen)
    GOAL_BALLOONS_COUNT
};

const DWORD kReminderOff = 0;
const DWORD kFewestReminderMinutes = 5, kMostReminderMinutes = 120, kDefaultReminderMinutes = 15;
const DWORD kLeastOpacity = 20, kFullOpacity = 100;

struct Preferences {
    int favourite;          // a team's index in the data, or kNoTeam
    DWORD reminderMinutes;  // kReminderOff, or 5..120 before a kick-off
    bool myTeamOnly;        // reminders only of the favourite team's matches
    bool computersZone;     // this computer's time zone instead of Moscow's
    int layer;              // WidgetLayer
    DWORD opacity;          // 20..100 (%)
    bool locked;            // dragging does nothing
    DWORD goalBalloons;     // GoalBalloons
    bool hideScores;        // results stay hidden until the user clicks a match
};

// The defaults: no team, 15 minutes, every match, Moscow, on the desktop, opaque,
// movable, goals of every match told, scores shown.
Preferences DefaultPreferences(void);
// The preferences stored under HKEY_CURRENT_USER\`key`; the team is looked up by its
// code in `data`.
Preferences ReadPreferences(const WCHAR* key, const TournamentData& data);
// Writes the values that differ between `before` and `after`, and only those: a value
// another program changed meanwhile is not written back over. False when a write failed.
bool StoreChangedPreferences(const WCHAR* key, const TournamentData& data, const Preferences& before,
                             const Preferences& after);
// A stored minute count as the widget takes it: 0 stays off, 5..120 stand, anything
// else gives the default.
DWORD ValidReminderMinutes(DWORD stored);
// The team whose code (ASCII, case ignored) is `code`, or kNoTeam.
int TeamByCode(const TournamentData& data, const WCHAR* code);
