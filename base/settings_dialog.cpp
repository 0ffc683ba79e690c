#include "settings_dialog.h"

#include <commctrl.h>

#include "group_standings.h"
#include "settings_dialog_ids.h"
#include "system_library.h"
#include "widget_texts.h"

namespace {

typedef BOOL(WINAPI* InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);

// The dialog and what it shows; main thread only.
HWND s_dialog;
HHOOK s_keyboardHook;
const TournamentData* s_data;
Preferences s_shown;
PreferencesChosen s_chosen;
bool s_filling;          // the controls are being set: their notices are not the user's
DWORD s_lastMinutes = kDefaultReminderMinutes; // what the minutes field comes back with

// The Host's loop knows nothing of this dialog: its Tab, arrows and Enter are given
// to IsDialogMessage here, before they are dispatched.
// The hook's record is the thread's own message, handed over by the system, not a
// window message's parameter.
LRESULT CALLBACK KeyboardForDialog(int code, WPARAM removal, LPARAM hooked)
{
    MSG* message = reinterpret_cast<MSG*>(hooked);
    if (code == HC_ACTION && removal == PM_REMOVE && s_dialog && message->message >= WM_KEYFIRST &&
        message->message <= WM_KEYLAST && (message->hwnd == s_dialog || IsChild(s_dialog, message->hwnd)) &&
        IsDialogMessageW(s_dialog, message))
        message->message = WM_NULL;
    return CallNextHookEx(s_keyboardHook, code, removal, hooked);
}

void SetChecked(int id, bool checked)
{
    CheckDlgButton(s_dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Checked(int id)
{
    return IsDlgButtonChecked(s_dialog, id) == BST_CHECKED;
}

LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendDlgItemMessageW(s_dialog, id, message, wParam, lParam);
}

// "Не выбрана", then "A — ЮАР" and on: the teams group by group as the data in use
// have them, each item's data its team's index.
void FillTeams(void)
{
    SendItem(IDC_TEAM, CB_RESETCONTENT);
    SendItem(IDC_TEAM, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kNoTeamItem));
    int order[kTeamCount];
    int listed = TeamsByGroup(*s_data, order);
    for (int i = 0; i < listed; ++i) {
        const Team& team = s_data->teams[order[i]];
        WCHAR item[kNameUnits + 8] = { static_cast<WCHAR>(L'A' + team.group), 0 };
        lstrcatW(item, kVersus);
        lstrcatW(item, team.name);
        LRESULT added = SendItem(IDC_TEAM, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        if (added >= 0)
            SendItem(IDC_TEAM, CB_SETITEMDATA, static_cast<WPARAM>(added), order[i]);
    }
}

// The item of team `favourite` (an index in the data), 0 ("Не выбрана") for none.
WPARAM TeamItem(int favourite)
{
    LRESULT count = SendItem(IDC_TEAM, CB_GETCOUNT);
    for (LRESULT item = 1; favourite != kNoTeam && item < count; ++item) {
        if (SendItem(IDC_TEAM, CB_GETITEMDATA, static_cast<WPARAM>(item)) == favourite)
            return static_cast<WPARAM>(item);
    }
    return 0;
}

void FillLists(void)
{
    FillTeams();
    for (const WCHAR* layer : kLayerNames)
        SendItem(IDC_LAYER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(layer));
    for (const WCHAR* goals : kGoalBalloonNames)
        SendItem(IDC_GOAL_BALLOONS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(goals));
    SendItem(IDC_REMIND_MINUTES, EM_LIMITTEXT, 3);
    SendItem(IDC_REMIND_SPIN, UDM_SETRANGE32, kFewestReminderMinutes, kMostReminderMinutes);
    SendItem(IDC_OPACITY, TBM_SETRANGE, FALSE, MAKELPARAM(kLeastOpacity, kFullOpacity));
    SendItem(IDC_OPACITY, TBM_SETTICFREQ, 10);
    SendItem(IDC_OPACITY, TBM_SETPAGESIZE, 0, 10);
    SendItem(IDC_OPACITY, TBM_SETLINESIZE, 0, 5);
}

void ShowOpacityText(DWORD percent)
{
    WCHAR text[16];
    wsprintfW(text, L"%lu %%", percent);
    SetDlgItemTextW(s_dialog, IDC_OPACITY_TEXT, text);
}

// The controls as `shown` has it. What the user is typing into the minutes field
// stays while the field has the focus (`leavingMinutes`: it is losing it now); a
// download or a menu change meanwhile would otherwise take half a number away.
void FillControls(bool leavingMinutes = false)
{
    s_filling = true;
    const Preferences& p = s_shown;
    SendItem(IDC_TEAM, CB_SETCURSEL, TeamItem(p.favourite));
    bool remind = p.reminderMinutes != kReminderOff;
    if (remind)
        s_lastMinutes = p.reminderMinutes;
    SetChecked(IDC_REMIND, remind);
    bool typing = !leavingMinutes && GetFocus() == GetDlgItem(s_dialog, IDC_REMIND_MINUTES);
    if (!typing && GetDlgItemInt(s_dialog, IDC_REMIND_MINUTES, nullptr, FALSE) != s_lastMinutes)
        SetDlgItemInt(s_dialog, IDC_REMIND_MINUTES, s_lastMinutes, FALSE);
    EnableWindow(GetDlgItem(s_dialog, IDC_REMIND_MINUTES), remind);
    EnableWindow(GetDlgItem(s_dialog, IDC_REMIND_SPIN), remind);
    SetChecked(IDC_REMIND_MINE, p.myTeamOnly);
    EnableWindow(GetDlgItem(s_dialog, IDC_REMIND_MINE), remind);
    CheckRadioButton(s_dialog, IDC_ZONE_MOSCOW, IDC_ZONE_COMPUTER, p.computersZone ? IDC_ZONE_COMPUTER : IDC_ZONE_MOSCOW);
    SendItem(IDC_GOAL_BALLOONS, CB_SETCURSEL, static_cast<WPARAM>(p.goalBalloons));
    SetChecked(IDC_HIDE_SCORES, p.hideScores);
    SendItem(IDC_LAYER, CB_SETCURSEL, static_cast<WPARAM>(p.layer));
    SendItem(IDC_OPACITY, TBM_SETPOS, TRUE, static_cast<LPARAM>(p.opacity));
    ShowOpacityText(p.opacity);
    SetChecked(IDC_LOCKED, p.locked);
    s_filling = false;
}

// The minutes field: a whole number within 5..120, else nothing new.
bool ReadMinutes(DWORD* minutes)
{
    BOOL read = FALSE;
    UINT value = GetDlgItemInt(s_dialog, IDC_REMIND_MINUTES, &read, FALSE);
    if (!read || value < kFewestReminderMinutes || value > kMostReminderMinutes)
        return false;
    *minutes = value;
    return true;
}

// A drop-down list's pick among `count` items, once the user changed it.
bool ReadListChoice(int id, int code, int count, int* item)
{
    LRESULT picked = SendItem(id, CB_GETCURSEL);
    if (code != CBN_SELCHANGE || picked < 0 || picked >= count)
        return false;
    *item = static_cast<int>(picked);
    return true;
}

// What the controls say now, on top of what is in effect.
bool ReadControl(int id, int code, Preferences* chosen)
{
    *chosen = s_shown;
    switch (id) {
    case IDC_TEAM: {
        LRESULT item = SendItem(IDC_TEAM, CB_GETCURSEL);
        LRESULT team = item > 0 ? SendItem(IDC_TEAM, CB_GETITEMDATA, static_cast<WPARAM>(item)) : CB_ERR;
        if (code != CBN_SELCHANGE || (item != 0 && (team < 0 || team >= kTeamCount)))
            return false;
        chosen->favourite = item == 0 ? kNoTeam : static_cast<int>(team);
        return true;
    }
    case IDC_REMIND:
        chosen->reminderMinutes = Checked(IDC_REMIND) ? s_lastMinutes : kReminderOff;
        return true;
    case IDC_REMIND_MINUTES:
        if (code != EN_CHANGE || !Checked(IDC_REMIND) || !ReadMinutes(&chosen->reminderMinutes))
            return false;
        s_lastMinutes = chosen->reminderMinutes;
        return true;
    case IDC_REMIND_MINE:
        chosen->myTeamOnly = Checked(IDC_REMIND_MINE);
        return true;
    case IDC_ZONE_MOSCOW:
    case IDC_ZONE_COMPUTER:
        chosen->computersZone = Checked(IDC_ZONE_COMPUTER);
        return true;
    case IDC_LAYER:
        return ReadListChoice(id, code, LAYER_COUNT, &chosen->layer);
    case IDC_LOCKED:
        chosen->locked = Checked(IDC_LOCKED);
        return true;
    case IDC_GOAL_BALLOONS: {
        int item;
        if (!ReadListChoice(id, code, GOAL_BALLOONS_COUNT, &item))
            return false;
        chosen->goalBalloons = static_cast<DWORD>(item);
        return true;
    }
    case IDC_HIDE_SCORES:
        chosen->hideScores = Checked(IDC_HIDE_SCORES);
        return true;
    }
    return false;
}

void Choose(const Preferences& chosen)
{
    if (s_chosen)
        s_chosen(chosen); // which shows what is in effect afterwards
}

void OnCommand(int id, int code)
{
    if (id == IDCANCEL) {
        CloseSettingsDialog();
        return;
    }
    if (id == IDC_REMIND_MINUTES && code == EN_KILLFOCUS) {
        FillControls(true); // a number out of range goes back to the one in effect
        return;
    }
    Preferences chosen;
    if (!s_filling && ReadControl(id, code, &chosen))
        Choose(chosen);
}

void OnOpacityMoved(void)
{
    LRESULT position = SendItem(IDC_OPACITY, TBM_GETPOS);
    if (s_filling || position < static_cast<LRESULT>(kLeastOpacity) || position > static_cast<LRESULT>(kFullOpacity))
        return;
    Preferences chosen = s_shown;
    chosen.opacity = static_cast<DWORD>(position);
    ShowOpacityText(chosen.opacity);
    Choose(chosen);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        s_dialog = dialog;
        FillLists();
        FillControls();
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_HSCROLL:
        OnOpacityMoved();
        return TRUE;
    case WM_CLOSE:
        CloseSettingsDialog();
        return TRUE;
    }
    return FALSE;
}

} // namespace

void OpenSettingsDialog(HINSTANCE module, const TournamentData* data, const Preferences& current,
                        PreferencesChosen chosen)
{
    if (s_dialog) {
        ShowPreferencesInDialog(current);
        ShowWindow(s_dialog, SW_SHOWNORMAL);
        SetForegroundWindow(s_dialog);
        return;
    }
    // The up-down and the track bar are common controls; comctl32 is loaded only now.
    InitCommonControlsExFn init = SystemFunction<InitCommonControlsExFn>(L"comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX classes = { sizeof(classes), ICC_UPDOWN_CLASS | ICC_BAR_CLASSES };
    if (!init || !init(&classes))
        return;
    s_data = data;
    s_shown = current;
    s_chosen = chosen;
    s_dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_WIDGET_SETTINGS), nullptr, SettingsDialogProc, 0);
    if (!s_dialog)
        return;
    s_keyboardHook = SetWindowsHookExW(WH_GETMESSAGE, KeyboardForDialog, nullptr, GetCurrentThreadId());
    ShowWindow(s_dialog, SW_SHOWNORMAL);
    SetForegroundWindow(s_dialog);
}

void ShowPreferencesInDialog(const Preferences& current)
{
    s_shown = current;
    if (s_dialog)
        FillControls();
}

void ShowNewDataInDialog(const Preferences& current)
{
    if (s_dialog)
        FillTeams();
    ShowPreferencesInDialog(current);
}

void CloseSettingsDialog(void)
{
    if (s_keyboardHook)
        UnhookWindowsHookEx(s_keyboardHook);
    s_keyboardHook = nullptr;
    HWND dialog = s_dialog;
    s_dialog = nullptr;
    if (dialog)
        DestroyWindow(dialog);
    s_chosen = nullptr;
}
