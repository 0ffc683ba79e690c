#include "widget_menu.h"

#include "group_standings.h"
#include "owners.h"
#include "widget_drawing.h"
#include "widget_texts.h"

namespace {

void AppendMenuItem(HMENU menu, UINT id, const WCHAR* text, bool checked, bool enabled = true)
{
    UINT flags = MF_STRING | (checked ? MF_CHECKED : 0) | (enabled ? 0 : MF_GRAYED);
    AppendMenuW(menu, flags, id, text);
}

// "Моя команда: Испания" and its list: none, then the teams group by group, as the
// data in use have them.
void AppendTeamMenu(HMENU menu, const TournamentData& data, int favourite)
{
    OwnedMenu teams(CreatePopupMenu());
    if (!teams)
        return;
    AppendMenuItem(teams.Get(), CMD_TEAM_NONE, kNoTeamItem, favourite == kNoTeam);
    int order[kTeamCount];
    int listed = TeamsByGroup(data, order);
    for (int i = 0; i < listed; ++i) {
        int team = order[i];
        UINT flags = MF_STRING | (favourite == team ? MF_CHECKED : 0);
        if (i == 0 || data.teams[order[i - 1]].group != data.teams[team].group)
            flags |= MF_MENUBARBREAK; // a column for each group
        AppendMenuW(teams.Get(), flags, CMD_TEAM_FIRST + team, data.teams[team].name);
    }
    WCHAR item[64];
    lstrcpyW(item, kMyTeamItem);
    lstrcatW(item, favourite == kNoTeam ? kNoTeamChosen : data.teams[favourite].name);
    if (AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(teams.Get()), item))
        teams.Release();
}

void AppendLayerMenu(HMENU menu, int layer)
{
    OwnedMenu layers(CreatePopupMenu());
    if (!layers)
        return;
    for (int each = 0; each < LAYER_COUNT; ++each)
        AppendMenuItem(layers.Get(), CMD_LAYER_FIRST + each, kLayerNames[each], false);
    CheckMenuRadioItem(layers.Get(), CMD_LAYER_FIRST, CMD_LAYER_FIRST + LAYER_COUNT - 1, CMD_LAYER_FIRST + layer,
                       MF_BYCOMMAND);
    if (AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(layers.Get()), kLayerMenu))
        layers.Release();
}

// "Голы и счёт": which goals come as balloons, and whether scores are hidden.
void AppendGoalsMenu(HMENU menu, const Preferences& preferences)
{
    OwnedMenu goals(CreatePopupMenu());
    if (!goals)
        return;
    for (int each = 0; each < GOAL_BALLOONS_COUNT; ++each)
        AppendMenuItem(goals.Get(), CMD_GOAL_BALLOONS_FIRST + each, kGoalBalloonNames[each], false);
    CheckMenuRadioItem(goals.Get(), CMD_GOAL_BALLOONS_FIRST, CMD_GOAL_BALLOONS_FIRST + GOAL_BALLOONS_COUNT - 1,
                       CMD_GOAL_BALLOONS_FIRST + preferences.goalBalloons, MF_BYCOMMAND);
    AppendMenuW(goals.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuItem(goals.Get(), CMD_HIDE_SCORES, kHideScoresItem, preferences.hideScores);
    if (AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(goals.Get()), kGoalsMenu))
        goals.Release();
}

} // namespace

WORD ChooseFromWidgetMenu(HWND widget, POINT at, const WidgetMenuState& state)
{
    OwnedMenu menu(CreatePopupMenu());
    OwnedMenu skins(CreatePopupMenu());
    if (!menu || !skins)
        return 0;
    for (int page = 0; page < PAGE_COUNT; ++page)
        AppendMenuItem(menu.Get(), CMD_PAGE_FIRST + page, kPageNames[page], state.page == page);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuItem(menu.Get(), CMD_DAY_PREVIOUS, kPreviousMatchDay, false, state.previousDay);
    AppendMenuItem(menu.Get(), CMD_DAY_NEXT, kNextMatchDay, false, state.nextDay);
    AppendMenuItem(menu.Get(), CMD_DAY_TODAY, kToday, false);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    for (int skin = 0; skin < kSkinCount; ++skin)
        AppendMenuItem(skins.Get(), CMD_SKIN_FIRST + skin, GetSkin(skin).name, state.skin == skin);
    if (AppendMenuW(menu.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(skins.Get()), kSkinMenu))
        skins.Release(); // destroyed with the menu
    AppendMenuItem(menu.Get(), CMD_WALLPAPER, kWallpaperItem, state.wallpaper);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendTeamMenu(menu.Get(), *state.data, state.preferences.favourite);
    AppendGoalsMenu(menu.Get(), state.preferences);
    AppendLayerMenu(menu.Get(), state.preferences.layer);
    AppendMenuItem(menu.Get(), CMD_LOCK, kLockedItem, state.preferences.locked);
    AppendMenuItem(menu.Get(), CMD_SETTINGS, kSettingsItem, false);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuItem(menu.Get(), 0, state.updates, false, false);
    AppendMenuItem(menu.Get(), CMD_UPDATE_CHECK, kCheckForUpdatesItem, false, state.canCheckUpdates);
    if (state.updatePending)
        AppendMenuItem(menu.Get(), CMD_UPDATE_INSTALL, kInstallUpdateItem, false);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuItem(menu.Get(), CMD_DOWNLOAD_NOW, kDownloadNowItem, false, state.dataAddress);
    AppendMenuItem(menu.Get(), 0, state.dataSource, false, false);

    // A menu closes on a click elsewhere only while its thread is in the foreground;
    // the user's window gets the focus back afterwards.
    HWND previous = GetForegroundWindow();
    SetForegroundWindow(widget);
    UINT command = static_cast<UINT>(
        TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, widget, nullptr));
    PostMessageW(widget, WM_NULL, 0, 0);
    if (previous && previous != widget)
        SetForegroundWindow(previous);
    return static_cast<WORD>(command);
}
