#include "preferences.h"

#include "engine_settings.h"

namespace {

const DWORD kCodeUnits = 8; // "ESP" and room to tell a longer text from it

DWORD ReadDword(const WCHAR* key, const WCHAR* name, DWORD fallback)
{
    DWORD value = fallback;
    return ReadSettingDword(key, name, &value) ? value : fallback;
}

bool ReadFlag(const WCHAR* key, const WCHAR* name)
{
    return ReadDword(key, name, 0) == 1;
}

WCHAR UpperAscii(WCHAR c)
{
    return c >= L'a' && c <= L'z' ? static_cast<WCHAR>(c - L'a' + L'A') : c;
}

bool WriteIfChanged(const WCHAR* key, const WCHAR* name, DWORD before, DWORD after)
{
    return before == after || WriteSettingDword(key, name, after);
}

} // namespace

Preferences DefaultPreferences(void)
{
    Preferences defaults = {};
    defaults.favourite = kNoTeam;
    defaults.reminderMinutes = kDefaultReminderMinutes;
    defaults.layer = LAYER_DESKTOP;
    defaults.opacity = kFullOpacity;
    defaults.goalBalloons = GOAL_BALLOONS_ALL;
    return defaults;
}

DWORD ValidReminderMinutes(DWORD stored)
{
    if (stored == kReminderOff || (stored >= kFewestReminderMinutes && stored <= kMostReminderMinutes))
        return stored;
    return kDefaultReminderMinutes;
}

int TeamByCode(const TournamentData& data, const WCHAR* code)
{
    for (int team = 0; team < kTeamCount; ++team) {
        const char* own = data.teams[team].code;
        int i = 0;
        while (own[i] && UpperAscii(code[i]) == static_cast<WCHAR>(own[i]))
            ++i;
        if (!own[i] && !code[i] && i > 0)
            return team;
    }
    return kNoTeam;
}

Preferences ReadPreferences(const WCHAR* key, const TournamentData& data)
{
    Preferences read = DefaultPreferences();
    WCHAR code[kCodeUnits];
    if (ReadSettingText(key, VALUE_FAVOURITE_TEAM, code, kCodeUnits))
        read.favourite = TeamByCode(data, code);
    read.reminderMinutes = ValidReminderMinutes(ReadDword(key, VALUE_REMINDER_MINUTES, kDefaultReminderMinutes));
    read.myTeamOnly = ReadFlag(key, VALUE_REMINDER_MY_TEAM_ONLY);
    read.computersZone = ReadFlag(key, VALUE_TIME_ZONE);
    DWORD layer = ReadDword(key, VALUE_WIDGET_LAYER, LAYER_DESKTOP);
    read.layer = layer < LAYER_COUNT ? static_cast<int>(layer) : LAYER_DESKTOP;
    DWORD opacity = ReadDword(key, VALUE_WIDGET_OPACITY, kFullOpacity);
    read.opacity = opacity >= kLeastOpacity && opacity <= kFullOpacity ? opacity : kFullOpacity;
    read.locked = ReadFlag(key, VALUE_WIDGET_LOCKED);
    DWORD goals = ReadDword(key, VALUE_GOAL_BALLOONS, GOAL_BALLOONS_ALL);
    read.goalBalloons = goals < GOAL_BALLOONS_COUNT ? goals : static_cast<DWORD>(GOAL_BALLOONS_ALL);
    read.hideScores = ReadFlag(key, VALUE_HIDE_SCORES);
    return read;
}

bool StoreChangedPreferences(const WCHAR* key, const TournamentData& data, const Preferences& before,
                             const Preferences& after)
{
    bool stored = true;
    if (before.favourite != after.favourite) {
        WCHAR code[kCodeUnits] = {};
        if (after.favourite >= 0 && after.favourite < kTeamCount) {
            for (int i = 0; i < 3 && data.teams[after.favourite].code[i]; ++i)
                code[i] = static_cast<WCHAR>(data.teams[after.favourite].code[i]);
        }
        stored = WriteSettingText(key, VALUE_FAVOURITE_TEAM, code) && stored;
    }
    stored = WriteIfChanged(key, VALUE_REMINDER_MINUTES, before.reminderMinutes, after.reminderMinutes) && stored;
    stored = WriteIfChanged(key, VALUE_REMINDER_MY_TEAM_ONLY, before.myTeamOnly, after.myTeamOnly) && stored;
    stored = WriteIfChanged(key, VALUE_TIME_ZONE, before.computersZone, after.computersZone) && stored;
    stored = WriteIfChanged(key, VALUE_WIDGET_LAYER, static_cast<DWORD>(before.layer),
                            static_cast<DWORD>(after.layer)) && stored;
    stored = WriteIfChanged(key, VALUE_WIDGET_OPACITY, before.opacity, after.opacity) && stored;
    stored = WriteIfChanged(key, VALUE_WIDGET_LOCKED, before.locked, after.locked) && stored;
    stored = WriteIfChanged(key, VALUE_GOAL_BALLOONS, before.goalBalloons, after.goalBalloons) && stored;
    stored = WriteIfChanged(key, VALUE_HIDE_SCORES, before.hideScores, after.hideScores) && stored;
    return stored;
}
