// The widget engine loaded into the test process as the Host loads it, the test its
// tray window, and what the tests of tests/engine/widget_*_test.cpp read and answer
// in its place: the settings dialog's controls, the widget's menu (base.dll's
// TrackPopupMenuEx redirected to the test), the z-order.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine_in_process.h"
#include "test_support.h"

namespace qt {

// The settings dialog of this process, once it is there; null after the wait.
HWND SettingsDialog();
std::wstring ItemText(HWND dialog, int id, LRESULT item);
std::wstring SelectedTeam(HWND dialog);
std::vector<std::wstring> ListedTeams(HWND dialog); // after "Не выбрана"
// The user picks item `item` of combo box `id`, as the dialog learns of it.
void SelectItem(HWND dialog, int id, LRESULT item);
// The same by the item's text.
void SelectTeam(HWND dialog, const wchar_t* text);
std::wstring StoredTeam();
// A REG_DWORD of the settings key; 0xFFFFFFFF for anything else.
DWORD StoredDword(const wchar_t* name);

// The widget's menu as the engine built it, read in place of the user.
struct MenuSeen {
    std::vector<std::vector<std::wstring>> teamColumns; // "Моя команда"'s columns after "Не выбрана"
    std::wstring checkedTeam;
    std::vector<UINT> ids; // every item's command, submenus' too, in order
};
extern MenuSeen g_menu;
extern std::wstring g_pick;               // the item the user picks; empty: none
extern std::function<void()> g_whileOpen; // what happens while the menu is open
// From now on the engine's menus come to the test.
void AnswerMenus(HMODULE engine);

RECT Bounds(HWND window);

class WidgetInProcess : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The engine ended and loaded afresh, as a new start of the Host has it.
    void Reload();
    void Run(const wchar_t* tail = L"/date=2010-06-20T12:00");
    bool Balloons(size_t count);

    HMODULE engine = nullptr;
    TestTray tray;
    LocalServers servers;
    HWND widget = nullptr;
};

} // namespace qt
