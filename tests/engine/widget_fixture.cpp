#include "widget_fixture.h"

#include <commctrl.h>

#include "base/engine_settings.h"
#include "base/settings_dialog_ids.h"

namespace qt {

namespace {

decltype(&TrackPopupMenuEx) real_TrackPopupMenuEx = &TrackPopupMenuEx;

std::wstring MenuText(HMENU menu, UINT position)
{
    wchar_t text[128] = L"";
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

// Every item of `menu` and its submenus into g_menu; the id of g_pick's item.
void ReadMenu(HMENU menu, bool teams, UINT* picked)
{
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOW item = { sizeof(item), MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU };
        GetMenuItemInfoW(menu, i, TRUE, &item);
        std::wstring text = MenuText(menu, i);
        if (item.hSubMenu) {
            ReadMenu(item.hSubMenu, text.rfind(L"Моя команда: ", 0) == 0, picked);
            continue;
        }
        if (!(item.fType & MFT_SEPARATOR))
            g_menu.ids.push_back(item.wID);
        if (text == g_pick)
            *picked = item.wID;
        if (!teams || i == 0)
            continue; // "Не выбрана" has a column of its own
        if ((item.fType & MFT_MENUBARBREAK) || g_menu.teamColumns.empty())
            g_menu.teamColumns.emplace_back();
        g_menu.teamColumns.back().push_back(text);
        if (item.fState & MFS_CHECKED)
            g_menu.checkedTeam = text;
    }
}

BOOL WINAPI AnsweredTrackPopupMenuEx(HMENU menu, UINT, int, int, HWND, LPTPMPARAMS)
{
    g_menu = MenuSeen();
    UINT picked = 0;
    ReadMenu(menu, false, &picked);
    if (g_whileOpen)
        g_whileOpen();
    return static_cast<BOOL>(picked);
}

} // namespace

MenuSeen g_menu;
std::wstring g_pick;
std::function<void()> g_whileOpen;

HWND SettingsDialog()
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w && !found;
             w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId() && GetDlgItem(w, IDC_OPACITY))
                found = w;
        }
        return found != nullptr;
    });
    return found;
}

std::wstring ItemText(HWND dialog, int id, LRESULT item)
{
    wchar_t text[128] = L"";
    LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, item, 0);
    if (length >= 0 && length < 128)
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring SelectedTeam(HWND dialog)
{
    return ItemText(dialog, IDC_TEAM, SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCURSEL, 0, 0));
}

std::vector<std::wstring> ListedTeams(HWND dialog)
{
    std::vector<std::wstring> texts;
    LRESULT count = SendDlgItemMessageW(dialog, IDC_TEAM, CB_GETCOUNT, 0, 0);
    for (LRESULT item = 1; item < count; ++item)
        texts.push_back(ItemText(dialog, IDC_TEAM, item));
    return texts;
}

void SelectItem(HWND dialog, int id, LRESULT item)
{
    HWND box = GetDlgItem(dialog, id);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

void SelectTeam(HWND dialog, const wchar_t* text)
{
    LRESULT item = SendDlgItemMessageW(dialog, IDC_TEAM, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text));
    ASSERT_GT(item, 0) << WideToUtf8(text);
    SelectItem(dialog, IDC_TEAM, item);
}

std::wstring StoredTeam()
{
    return ReadValue(SETTINGS_KEY, VALUE_FAVOURITE_TEAM).Text();
}

DWORD StoredDword(const wchar_t* name)
{
    RegValue value = ReadValue(SETTINGS_KEY, name);
    return value.type == REG_DWORD && value.data.size() == 4 ? *reinterpret_cast<const DWORD*>(value.data.data())
                                                             : 0xFFFFFFFF;
}

void AnswerMenus(HMODULE engine)
{
    RedirectImport(engine, reinterpret_cast<void*>(real_TrackPopupMenuEx),
                   reinterpret_cast<void*>(&AnsweredTrackPopupMenuEx));
}

RECT Bounds(HWND window)
{
    RECT bounds = {};
    GetWindowRect(window, &bounds);
    return bounds;
}

void WidgetInProcess::SetUp()
{
    DeleteTree(SETTINGS_KEY);
    DeleteFileW(CacheFile().c_str());
    engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
    ASSERT_TRUE(engine && tray.window);
}

void WidgetInProcess::TearDown()
{
    if (widget)
        ExitEngine(engine);
    if (engine)
        FreeLibrary(engine);
    if (!servers.dir.empty())
        servers.Stop();
    g_whileOpen = nullptr;
    g_pick.clear();
    DeleteTree(SETTINGS_KEY);
    DeleteFileW(CacheFile().c_str());
}

void WidgetInProcess::Reload()
{
    ExitEngine(engine);
    widget = nullptr;
    FreeLibrary(engine);
    engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
    ASSERT_TRUE(engine);
}

void WidgetInProcess::Run(const wchar_t* tail)
{
    widget = RunEngine(engine, tray.window, tail);
    ASSERT_TRUE(widget);
}

bool WidgetInProcess::Balloons(size_t count)
{
    return PumpUntil([&] { return tray.balloons.size() >= count; });
}

} // namespace qt
