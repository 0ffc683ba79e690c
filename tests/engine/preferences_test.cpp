// The widget's preferences end to end: the real Host with the real engine, its
// values set in the registry, from the widget's menu and from its settings dialog
// as a user would, read back from Win32 (z-order band, layered alpha, activation)
// and from the registry, and after a restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "accessible_reader.h"
#include "test_support.h"
#include "base/engine_settings.h"
#include "base/preferences.h"
#include "base/settings_dialog_ids.h"
#include "base/widget_drawing.h"
#include "host/host_resources.h"

using namespace qt;

namespace {

DWORD StoredDword(const wchar_t* name)
{
    RegValue value = ReadValue(SETTINGS_KEY, name);
    return value.type == REG_DWORD && value.data.size() == 4 ? *reinterpret_cast<const DWORD*>(value.data.data())
                                                             : 0xFFFFFFFF;
}

bool Topmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// The window's constant alpha; 255 for a window that is not layered.
int Alpha(HWND window)
{
    if (!(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED))
        return 255;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return -1;
    return alpha;
}

LRESULT MouseActivation(HWND window)
{
    return SendMessageW(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
}

// Waits until the engine has handled everything sent before.
void Settle(HWND window)
{
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

RECT Bounds(HWND window)
{
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    return bounds;
}

// Whether `upper` comes before `lower` in the Win32 z-order.
bool Above(HWND upper, HWND lower)
{
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == upper)
            return true;
        if (w == lower)
            return false;
    }
    return false;
}

// The settings dialogs of the Host's process, visible ones.
std::vector<HWND> SettingsDialogs(DWORD process)
{
    std::vector<HWND> found;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process && IsWindowVisible(w) && GetDlgItem(w, IDC_OPACITY))
            found.push_back(w);
    }
    return found;
}

// A user's choice in a combo box, as the dialog learns of it.
void Select(HWND dialog, int id, int item)
{
    HWND box = GetDlgItem(dialog, id);
    SendMessageW(box, CB_SETCURSEL, item, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

void Click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class Preferences : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(SETTINGS_KEY); }
    void TearDown() override
    {
        CleanUpHost(run);
        DeleteTree(SETTINGS_KEY);
    }
    void Start(const wchar_t* tail = L"/date=2010-06-20T12:00")
    {
        ASSERT_TRUE(StartWidgetHost(run, L"preferences", tail));
        Settle(run.widget);
    }
    void Restart(const wchar_t* tail = L"/date=2010-06-20T12:00")
    {
        DWORD exitCode = 1;
        ASSERT_TRUE(ExitHost(run, &exitCode));
        EXPECT_EQ(0u, exitCode);
        Start(tail);
    }
    void Command(WORD command)
    {
        SendMessageW(run.widget, WM_COMMAND, command, 0);
        Settle(run.widget);
    }
    HostRun run;
};

TEST_F(Preferences, LayerOpacityAndLockFromTheRegistryAndTheMenuSurviveARestart)
{
    // Garbage of every kind: the widget stands on the desktop, opaque and movable.
    WriteText(SETTINGS_KEY, VALUE_WIDGET_LAYER, L"2");
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_OPACITY, 500);
    WriteRaw(SETTINGS_KEY, VALUE_WIDGET_LOCKED, REG_QWORD, "\1\0\0\0\0\0\0\0", 8);
    Start();
    EXPECT_FALSE(Topmost(run.widget));
    EXPECT_EQ(255, Alpha(run.widget));
    EXPECT_FALSE(GetWindowLongPtrW(run.widget, GWL_EXSTYLE) & WS_EX_LAYERED) << "layered while opaque";
    EXPECT_EQ(MA_NOACTIVATE, MouseActivation(run.widget));

    // Above all windows, half transparent, locked.
    DWORD exitCode = 1;
    ASSERT_TRUE(ExitHost(run, &exitCode));
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LAYER, LAYER_TOPMOST);
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_OPACITY, 50);
    WriteDword(SETTINGS_KEY, VALUE_WIDGET_LOCKED, 1);
    Start();
    EXPECT_TRUE(Topmost(run.widget));
    EXPECT_EQ(127, Alpha(run.widget));
    EXPECT_EQ(MA_ACTIVATE, MouseActivation(run.widget));
    RECT before = Bounds(run.widget);
    SendMessageW(run.widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 40));
    SendMessageW(run.widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(220, 140));
    SendMessageW(run.widget, WM_LBUTTONUP, 0, MAKELPARAM(220, 140));
    EXPECT_EQ(before.left, Bounds(run.widget).left) << "a locked widget was dragged";

    // Opaque while the mouse is over it, and again see-through once it has left.
    RECT bounds = Bounds(run.widget);
    SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    SendMessageW(run.widget, WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
    EXPECT_EQ(255, Alpha(run.widget));
    SetCursorPos(bounds.left - 200, bounds.bottom + 200);
    EXPECT_TRUE(WaitUntil([&] { return Alpha(run.widget) == 127; })) << "still opaque after the mouse left";

    // The menu: unlocked, an ordinary window, which another program may raise.
    Command(CMD_LOCK);
    EXPECT_EQ(0u, StoredDword(VALUE_WIDGET_LOCKED));
    Command(CMD_LAYER_FIRST + LAYER_NORMAL);
    EXPECT_EQ(static_cast<DWORD>(LAYER_NORMAL), StoredDword(VALUE_WIDGET_LAYER));
    EXPECT_FALSE(Topmost(run.widget));
    HWND user = CreateWindowExW(0, L"STATIC", L"user's work", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(user);
    SetForegroundWindow(user);
    SetWindowPos(run.widget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(run.widget, user)) << "an ordinary window refused to be raised";
    SendMessageW(run.widget, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 40));
    SendMessageW(run.widget, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 140));
    SendMessageW(run.widget, WM_LBUTTONUP, 0, MAKELPARAM(120, 140));
    EXPECT_NE(before.left, Bounds(run.widget).left) << "an unlocked widget did not move";

    // Back on the desktop: it refuses to be raised again.
    Command(CMD_LAYER_FIRST + LAYER_DESKTOP);
    SetWindowPos(run.widget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Settle(run.widget);
    EXPECT_TRUE(Above(user, run.widget));
    Command(CMD_LAYER_FIRST + LAYER_NORMAL);
    DestroyWindow(user);

    // The menu's choices and the registry's opacity stay after a restart.
    Restart();
    EXPECT_FALSE(Topmost(run.widget));
    EXPECT_EQ(MA_ACTIVATE, MouseActivation(run.widget));
    EXPECT_EQ(127, Alpha(run.widget));
    // Commands beyond the menu's ranges change nothing.
    for (WORD command : { CMD_TEAM_FIRST + kTeamCount, CMD_LAYER_FIRST + LAYER_COUNT, 0xFFFF })
        Command(command);
    EXPECT_EQ(static_cast<DWORD>(LAYER_NORMAL), StoredDword(VALUE_WIDGET_LAYER));
    EXPECT_FALSE(ReadValue(SETTINGS_KEY, VALUE_FAVOURITE_TEAM).exists);
}

TEST_F(Preferences, TheDialogAppliesEveryChangeAtOnceAndFollowsTheMenu)
{
    Start();
    Command(CMD_SETTINGS);
    std::vector<HWND> dialogs;
    ASSERT_TRUE(WaitUntil([&] { return (dialogs = SettingsDialogs(run.process.id)).size() == 1; }));
    HWND dialog = dialogs[0];
    // It shows what is in effect: the defaults.
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(33, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCOUNT, 0, 0)) << "none and the 32 teams";
    EXPECT_TRUE(IsChecked(dialog, IDC_REMIND));
    EXPECT_EQ(15u, GetDlgItemInt(dialog, IDC_REMIND_MINUTES, nullptr, FALSE));
    EXPECT_TRUE(IsChecked(dialog, IDC_ZONE_MOSCOW));
    EXPECT_EQ(LAYER_DESKTOP, SendDlgItemMessageW(dialog, IDC_LAYER, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(100, SendDlgItemMessageW(dialog, IDC_OPACITY, TBM_GETPOS, 0, 0));

    // Spain is the 29th team of the draw (group H's first), after "none".
    Select(dialog, IDC_TEAM, 29);
    EXPECT_EQ(L"ESP", ReadValue(SETTINGS_KEY, VALUE_FAVOURITE_TEAM).Text());
    Click(dialog, IDC_REMIND_MINE);
    EXPECT_EQ(1u, StoredDword(VALUE_REMINDER_MY_TEAM_ONLY));
    SetDlgItemTextW(dialog, IDC_REMIND_MINUTES, L"3"); // out of range: not taken
    EXPECT_EQ(0xFFFFFFFF, StoredDword(VALUE_REMINDER_MINUTES));
    SetDlgItemTextW(dialog, IDC_REMIND_MINUTES, L"21");
    EXPECT_EQ(21u, StoredDword(VALUE_REMINDER_MINUTES));
    Click(dialog, IDC_REMIND);
    EXPECT_EQ(0u, StoredDword(VALUE_REMINDER_MINUTES));
    Click(dialog, IDC_REMIND);
    EXPECT_EQ(21u, StoredDword(VALUE_REMINDER_MINUTES)) << "the minutes were not kept while off";
    Click(dialog, IDC_ZONE_COMPUTER);
    EXPECT_EQ(1u, StoredDword(VALUE_TIME_ZONE));
    Select(dialog, IDC_LAYER, LAYER_TOPMOST);
    Settle(run.widget);
    EXPECT_TRUE(Topmost(run.widget));
    SendDlgItemMessageW(dialog, IDC_OPACITY, TBM_SETPOS, TRUE, 60);
    SendMessageW(dialog, WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_OPACITY)));
    EXPECT_EQ(60u, StoredDword(VALUE_WIDGET_OPACITY));
    EXPECT_EQ(153, Alpha(run.widget));
    EXPECT_EQ(L"60 %", WindowText(GetDlgItem(dialog, IDC_OPACITY_TEXT)));
    Click(dialog, IDC_LOCKED);
    EXPECT_EQ(1u, StoredDword(VALUE_WIDGET_LOCKED));

    // The menu changes what the open dialog shows; a second open brings the same one.
    Command(CMD_LOCK);
    EXPECT_FALSE(IsChecked(dialog, IDC_LOCKED));
    Command(CMD_TEAM_NONE);
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCURSEL, 0, 0));
    Command(CMD_SETTINGS);
    EXPECT_EQ(1u, SettingsDialogs(run.process.id).size());
    // Garbage from another process: unknown controls and notices change nothing.
    for (WPARAM wParam : { MAKEWPARAM(IDC_TEAM, CBN_DROPDOWN), MAKEWPARAM(IDC_LAYER, 0xFFFF), MAKEWPARAM(999, 0) })
        SendMessageW(dialog, WM_COMMAND, wParam, 0x12345678);
    SendMessageW(dialog, WM_HSCROLL, 0xFFFF, 0x12345678);
    EXPECT_TRUE(Topmost(run.widget));

    // Closed from its button; everything stays after a restart.
    Click(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return SettingsDialogs(run.process.id).empty(); }));
    Restart();
    EXPECT_TRUE(Topmost(run.widget));
    EXPECT_EQ(153, Alpha(run.widget));
    Command(CMD_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return (dialogs = SettingsDialogs(run.process.id)).size() == 1; }));
    EXPECT_EQ(21u, GetDlgItemInt(dialogs[0], IDC_REMIND_MINUTES, nullptr, FALSE));
    EXPECT_TRUE(IsChecked(dialogs[0], IDC_ZONE_COMPUTER));
    EXPECT_TRUE(IsChecked(dialogs[0], IDC_REMIND_MINE));

    // Tab moves through the controls, though the Host's loop knows nothing of them.
    DWORD thread = GetWindowThreadProcessId(dialogs[0], nullptr);
    auto focus = [&] {
        GUITHREADINFO info = { sizeof(info) };
        return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
    };
    SetForegroundWindow(dialogs[0]);
    HWND first = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (first = focus()) != nullptr && IsChild(dialogs[0], first); }));
    INPUT tab[2] = {};
    tab[0].type = tab[1].type = INPUT_KEYBOARD;
    tab[0].ki.wVk = tab[1].ki.wVk = VK_TAB;
    tab[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, tab, sizeof(INPUT));
    EXPECT_TRUE(WaitUntil([&] { return focus() != first && IsChild(dialogs[0], focus()); })) << "Tab did not move";
}

// The favourite team's lines say so to a screen reader, on the match page and in
// its group's table, and the collapsed widget names its next match.
TEST_F(Preferences, TheFavouriteTeamsLinesAreMarkedForAScreenReader)
{
    HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WriteText(SETTINGS_KEY, VALUE_FAVOURITE_TEAM, L"ESP");
    Start(L"/date=2010-06-16T12:00"); // Spain — Switzerland kicks off at 18:00
    const std::wstring mark = L", моя команда";
    auto marked = [&] {
        std::vector<std::wstring> lines;
        for (const std::wstring& text : ReadAccessibleTexts(run.widget)) {
            if (text.size() > mark.size() && text.compare(text.size() - mark.size(), mark.size(), mark) == 0)
                lines.push_back(text);
        }
        return lines;
    };
    EXPECT_EQ((std::vector<std::wstring>{ L"18:00 Испания — Швейцария, моя команда" }), marked());
    Command(CMD_PAGE_FIRST + 1); // the groups
    EXPECT_EQ((std::vector<std::wstring>{ L"Испания 0 0–0 0 0, моя команда" }), marked());
    // Collapsed: the next kick-off (Honduras — Chile), then Spain's.
    SendMessageW(run.tray, WM_COMMAND, IDM_COLLAPSE, 0);
    Settle(run.widget);
    std::vector<std::wstring> texts = ReadAccessibleTexts(run.widget);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"Матч моей команды, 16 июня"));
    std::vector<std::wstring> lines = marked();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find(L"18:00 Испания — Швейцария ")) << WideToUtf8(lines[0]);
    Command(CMD_TEAM_NONE);
    EXPECT_TRUE(marked().empty());
    if (SUCCEEDED(apartment))
        CoUninitialize();
}

} // namespace
