// What the user does with the widget: pages, days, skins, the wallpaper, the
// preferences, from the arrows, the widget's menu, the tray and the settings dialog.
#include "widget_state.h"

#include "engine_settings.h"
#include "network.h"
#include "settings_dialog.h"
#include "updater.h"
#include "wallpaper.h"
#include "widget_clock.h"
#include "widget_menu.h"
#include "widget_place.h"

namespace {

// From the dialog or the menu: what changed is stored, then everything is read back,
// so that a value another program changed meanwhile is taken too, not overwritten.
void ChoosePreferences(const Preferences& chosen)
{
    if (StoreChangedPreferences(SETTINGS_KEY, g_widget->data, g_widget->preferences, chosen))
        g_widget->preferences = ReadPreferences(SETTINGS_KEY, g_widget->data);
    else
        g_widget->preferences = chosen; // in effect until the widget ends
    ApplyPreferences();
    RefreshWidget();
    ShowPreferencesInDialog(g_widget->preferences);
}

void ShowPage(int page)
{
    g_widget->choice.page = (page + PAGE_COUNT) % PAGE_COUNT;
    RefreshWidget();
}

void BrowseDay(ULONGLONG day)
{
    if (!day)
        return;
    g_widget->choice.page = PAGE_MATCHES;
    g_widget->choice.day = day == LocalDayNumber(WidgetNow()) ? 0 : day;
    RefreshWidget();
}

// A click on a match whose score is hidden shows that match's, until the widget ends.
void Reveal(int number)
{
    if (!g_widget->choice.hideScores)
        return;
    g_widget->choice.revealed |= MatchBit(number);
    RefreshWidget();
}

void ToggleWallpaper(void)
{
    if (CustomWallpaperIsOn())
        TurnCustomWallpaperOff(g_widget->picturePath);
    else
        TurnCustomWallpaperOn(g_widget->picturePath);
}

// The menu's preferences: the team, the layer and the lock.
void RunPreferenceCommand(WORD command)
{
    Preferences chosen = g_widget->preferences;
    if (command == CMD_TEAM_NONE)
        chosen.favourite = kNoTeam;
    else if (command >= CMD_TEAM_FIRST && command < CMD_TEAM_FIRST + kTeamCount)
        chosen.favourite = command - CMD_TEAM_FIRST;
    else if (command >= CMD_LAYER_FIRST && command < CMD_LAYER_FIRST + LAYER_COUNT)
        chosen.layer = command - CMD_LAYER_FIRST;
    else if (command == CMD_LOCK)
        chosen.locked = !chosen.locked;
    else if (command >= CMD_GOAL_BALLOONS_FIRST && command < CMD_GOAL_BALLOONS_FIRST + GOAL_BALLOONS_COUNT)
        chosen.goalBalloons = command - CMD_GOAL_BALLOONS_FIRST;
    else if (command == CMD_HIDE_SCORES)
        chosen.hideScores = !chosen.hideScores;
    else
        return;
    ChoosePreferences(chosen);
}

// A team's item names it by its place in the data the menu was built from; a download
// while the menu was open may have brought the teams in another order: the same team
// is looked up by its code in the data in use.
WORD SameTeamNow(WORD command, const Team* shown)
{
    if (command < CMD_TEAM_FIRST || command >= CMD_TEAM_FIRST + kTeamCount)
        return command;
    for (int team = 0; team < kTeamCount; ++team) {
        if (!lstrcmpA(g_widget->data.teams[team].code, shown[command - CMD_TEAM_FIRST].code))
            return static_cast<WORD>(CMD_TEAM_FIRST + team);
    }
    return 0;
}

} // namespace

void ApplyPreferences(void)
{
    const Preferences& chosen = g_widget->preferences;
    g_widget->choice.hasFavourite = chosen.favourite != kNoTeam;
    g_widget->choice.favourite = chosen.favourite;
    g_widget->choice.reminderLead = chosen.reminderMinutes * kTicksPerMinute;
    g_widget->choice.hideScores = chosen.hideScores;
    UseComputersZone(chosen.computersZone);
    SetWidgetLayer(g_widget->window, chosen.layer);
    SetWidgetOpacity(g_widget->window, chosen.opacity);
    SetPlaceLocked(chosen.locked);
}

void UseSkin(int skin)
{
    g_widget->skin = (skin + kSkinCount) % kSkinCount;
    WriteSettingDword(SETTINGS_KEY, VALUE_WIDGET_SKIN, static_cast<DWORD>(g_widget->skin));
    InvalidateRect(g_widget->window, nullptr, FALSE);
}

void SetCollapsed(bool collapsed)
{
    g_widget->choice.collapsed = collapsed;
    RefreshWidget();
}

void RunWidgetCommand(WORD command)
{
    if (command >= CMD_PAGE_FIRST && command < CMD_PAGE_FIRST + PAGE_COUNT) {
        g_widget->choice.day = 0;
        ShowPage(command - CMD_PAGE_FIRST);
    } else if (command >= CMD_SKIN_FIRST && command < CMD_SKIN_FIRST + kSkinCount) {
        UseSkin(command - CMD_SKIN_FIRST);
    } else if (command > CMD_REVEAL_FIRST && command <= CMD_REVEAL_FIRST + kMatchCount) {
        Reveal(command - CMD_REVEAL_FIRST);
    } else {
        RunPreferenceCommand(command);
    }
    switch (command) {
    case CMD_PAGE_PREVIOUS:
        ShowPage(g_widget->choice.page - 1);
        break;
    case CMD_PAGE_NEXT:
        ShowPage(g_widget->choice.page + 1);
        break;
    case CMD_DAY_PREVIOUS:
        BrowseDay(g_widget->view.previousDay);
        break;
    case CMD_DAY_NEXT:
        BrowseDay(g_widget->view.nextDay);
        break;
    case CMD_DAY_TODAY:
        BrowseDay(LocalDayNumber(WidgetNow()));
        break;
    case CMD_WALLPAPER:
        ToggleWallpaper();
        break;
    case CMD_SETTINGS:
        OpenSettingsDialog(g_widget->module, &g_widget->data, g_widget->preferences, ChoosePreferences);
        break;
    case CMD_DOWNLOAD_NOW:
        RequestDownload();
        break;
    case CMD_UPDATE_CHECK:
        RequestUpdateCheck();
        break;
    case CMD_UPDATE_INSTALL:
        InstallPendingUpdate();
        break;
    }
}

void BringIntoView(void)
{
    g_widget->choice.collapsed = false;
    RefreshWidget();
    KeepOnScreen(g_widget->window, g_widget->layout.size);
    ShowWindow(g_widget->window, SW_SHOWNOACTIVATE);
    RaiseForAWhile(g_widget->window);
}

void ShowWidgetMenu(POINT at)
{
    WCHAR source[kNetworkTextUnits], updates[kNetworkTextUnits];
    DescribeDataSource(source, kNetworkTextUnits);
    DescribeUpdates(updates, kNetworkTextUnits);
    WidgetMenuState state = { g_widget->choice.page, g_widget->view.previousDay != 0, g_widget->view.nextDay != 0,
                              g_widget->skin, CustomWallpaperIsOn(), &g_widget->data, g_widget->preferences, source,
                              DataAddressIsSet(), updates, UpdaterBuiltIn(), UpdateIsPending() };
    Team shown[kTeamCount];
    CopyMemory(shown, g_widget->data.teams, sizeof(shown));
    WORD command = SameTeamNow(ChooseFromWidgetMenu(g_widget->window, at, state), shown);
    ReturnToLayer(g_widget->window);
    if (command)
        RunWidgetCommand(command);
}
