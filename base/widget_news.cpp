#include "widget_news.h"

#include <string.h>

#include "../host/engine_interface.h"
#include "engine_settings.h"
#include "live_score.h"
#include "widget_clock.h"
#include "widget_state.h"

namespace {

const int kBalloonUnits = 256; // the tray's balloon holds 255 characters

// "Через 15 минут: ..." for every mark passed since the last look; with "only my
// team's" and no team chosen, none.
void GiveReminders(ULONGLONG now)
{
    const Preferences& chosen = g_widget->preferences;
    ReminderRule rule = { chosen.reminderMinutes, chosen.myTeamOnly ? chosen.favourite : kNoTeam,
                          HiddenMatches(g_widget->choice) };
    if (chosen.myTeamOnly && chosen.favourite == kNoTeam)
        rule.minutes = kReminderOff;
    WCHAR text[kBalloonUnits];
    if (now > g_widget->remindedUntil &&
        KickoffReminder(g_widget->data, rule, g_widget->remindedUntil, now, text, kBalloonUnits))
        SendBalloon(text);
    g_widget->remindedUntil = now;
}

// The matches whose news are not told: hidden results, and as the user chose.
MatchMask Silenced(ULONGLONG now)
{
    const Preferences& chosen = g_widget->preferences;
    MatchMask hidden = HiddenMatches(g_widget->choice);
    if (chosen.goalBalloons == GOAL_BALLOONS_OFF ||
        (chosen.goalBalloons == GOAL_BALLOONS_MY_TEAM && chosen.favourite == kNoTeam))
        return kAllMatches;
    if (chosen.goalBalloons != GOAL_BALLOONS_MY_TEAM)
        return hidden;
    MatchMask silenced = hidden;
    for (const Match& match : g_widget->data.matches) {
        if (ShownTeam(g_widget->data, match, true, now, hidden) != chosen.favourite &&
            ShownTeam(g_widget->data, match, false, now, hidden) != chosen.favourite)
            silenced |= MatchBit(match.number);
    }
    return silenced;
}

// With the real clock what was told is kept, so that a restart never tells it again;
// a replay's news are its own.
void Remember(const Announced& before)
{
    if (!ReplayRunning() && memcmp(&before, &g_widget->announced, sizeof(before)))
        WriteSettingBinary(SETTINGS_KEY, VALUE_ANNOUNCED_GOALS, &g_widget->announced, sizeof(Announced));
}

} // namespace

void SendBalloon(const WCHAR* text)
{
    COPYDATASTRUCT data = { COPYDATA_BALLOON, static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR)),
                            const_cast<WCHAR*>(text) };
    SendMessageW(g_widget->tray, WM_COPYDATA, reinterpret_cast<WPARAM>(g_widget->window),
                 reinterpret_cast<LPARAM>(&data));
}

void StartNews(ULONGLONG now)
{
    g_widget->remindedUntil = g_widget->startedAt = now;
    StartAnnounced(g_widget->data, now, ReplayRunning(), &g_widget->announced);
    Announced earlier;
    if (ReplayRunning() || !ReadSettingBinary(SETTINGS_KEY, VALUE_ANNOUNCED_GOALS, &earlier, sizeof(earlier)))
        return;
    Announced& told = g_widget->announced;
    for (int i = 0; i < kMatchCount; ++i) {
        told.home[i] = told.home[i] > earlier.home[i] ? told.home[i] : earlier.home[i];
        told.away[i] = told.away[i] > earlier.away[i] ? told.away[i] : earlier.away[i];
        told.ended[i] = told.ended[i] || earlier.ended[i] ? 1 : 0;
    }
}

void SkipRemindersTo(ULONGLONG now)
{
    g_widget->remindedUntil = now;
}

void GiveNews(ULONGLONG now)
{
    GiveReminders(now);
    Announced before = g_widget->announced;
    WCHAR text[kBalloonUnits];
    if (TakeMatchNews(g_widget->data, now, ReplayRunning(), g_widget->startedAt, Silenced(now), &g_widget->announced,
                      text, kBalloonUnits))
        SendBalloon(text);
    Remember(before);
}
