// The tray window as the user, the shell and the engine drive it: the menu and its
// commands, double-clicks, the online/offline state, balloons, a restarted shell.
#include <gtest/gtest.h>

#include "test_support.h"
#include "host/engine_interface.h"
#include "host/host_resources.h"

#include <shellapi.h>

using namespace qt;

namespace {

const wchar_t kNoIcon[] = L"0000000000000000";

class TrayWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartHost(run, L"tray", L"")); }
    void TearDown() override
    {
        DWORD code = 1;
        if (!HasFailure()) {
            EXPECT_TRUE(ExitHost(run, &code)) << "the Host must still end on \"Выход\"";
            EXPECT_EQ(0u, code);
            EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
        }
        CleanUpHost(run);
    }

    void Command(WPARAM wParam) { SendMessageW(run.tray, WM_COMMAND, wParam, 0); }

    std::vector<std::wstring> NotifyLinesAfter(size_t skip)
    {
        auto lines = LogLines(run.log, L"notify");
        return std::vector<std::wstring>(lines.begin() + (std::min)(skip, lines.size()), lines.end());
    }

    LRESULT SendCopyData(ULONG_PTR kind, const void* data, DWORD bytes)
    {
        COPYDATASTRUCT copy = { kind, bytes, const_cast<void*>(data) };
        return SendMessageW(run.tray, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    }

    // The balloon lines logged since `skip` notify lines.
    std::vector<std::wstring> BalloonsAfter(size_t skip)
    {
        std::vector<std::wstring> balloons;
        for (const auto& line : NotifyLinesAfter(skip))
            if (Field(line, L"flags") == L"16")
                balloons.push_back(line);
        return balloons;
    }

    HostRun run;
};

TEST_F(TrayWindow, MenuTogglesAndCommandsReachTheEngineInOrder)
{
    Command(IDM_COLLAPSE);
    Command(IDM_COLLAPSE);
    Command(IDM_COLLAPSE);
    Command(IDM_CUSTOM_WALLPAPER);
    Command(IDM_CUSTOM_WALLPAPER);
    Command(IDM_SWITCH_SKIN);
    Command(MAKEWPARAM(IDM_EXIT, 1)); // a notification, not a menu command: default handling
    Command(MAKEWPARAM(IDM_COLLAPSE, 1));
    Command(0xFFFF);
    std::vector<UINT> expected = { WM_ENGINE_COLLAPSE_ON, WM_ENGINE_COLLAPSE_OFF, WM_ENGINE_COLLAPSE_ON, WM_ENGINE_WALLPAPER_ON, WM_ENGINE_WALLPAPER_ON, WM_ENGINE_SWITCH_SKIN };
    EXPECT_EQ(expected, EngineMessages(run.log));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(run.process.handle, 300)) << "command 300 with code 1 must not end the Host";
    EXPECT_TRUE(TrayIconPresent(run.tray));
}

TEST_F(TrayWindow, MouseOnTheIconOnlyDoubleClickAndRightButtonUpAct)
{
    for (LPARAM mouse : { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, 0x0402 })
        SendMessageW(run.tray, WM_TRAY_CALLBACK, 0, mouse);
    std::vector<UINT> expected = { WM_ENGINE_TRAY_DBLCLK };
    EXPECT_EQ(expected, EngineMessages(run.log));
    EXPECT_EQ(nullptr, FindWindowW(L"#32768", nullptr));
}

TEST_F(TrayWindow, RightClickOpensTheMenuUnderTheCursorAndAnItemCanBePicked)
{
    SetCursorPos(500, 300);
    PostMessageW(run.tray, WM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); }));
    RECT box;
    GetWindowRect(menu, &box);
    EXPECT_NEAR(500, (box.left + box.right) / 2, 1) << "centred on the cursor";
    EXPECT_EQ(300, box.top) << "top edge at the cursor";

    // Down twice selects "Свернуть", Enter picks it, as a user with the keyboard would.
    for (WPARAM key : { VK_DOWN, VK_DOWN, VK_RETURN })
        PostMessageW(menu, WM_KEYDOWN, key, 0);
    ASSERT_TRUE(WaitUntil([&] { return !EngineMessages(run.log).empty(); }));
    std::vector<UINT> expected = { WM_ENGINE_COLLAPSE_ON };
    EXPECT_EQ(expected, EngineMessages(run.log));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
}

TEST_F(TrayWindow, MenuResourceHoldsTheFourItemsInOrder)
{
    HMODULE host = LoadLibraryExW(ProgramPath(kHostName).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, host);
    HMENU menu = LoadMenuW(host, L"sample");
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(1, GetMenuItemCount(menu));
    wchar_t text[64];
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"TrayContext", text);
    HMENU popup = GetSubMenu(menu, 0);
    const struct { UINT id; const wchar_t* text; } items[] = {
        { 200, L"Настройки прокси..." }, { 210, L"Свернуть" }, { 220, L"Переключить скин" }, { 300, L"Выход" } };
    ASSERT_EQ(4, GetMenuItemCount(popup));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i].id, GetMenuItemID(popup, i));
        GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(items[i].text, text);
        EXPECT_EQ(0u, GetMenuState(popup, i, MF_BYPOSITION)) << "enabled, unchecked, no separator";
    }
    DestroyMenu(menu);
    FreeLibrary(host);
}

TEST_F(TrayWindow, EngineStateSwitchesIconAndTip)
{
    size_t before = LogLines(run.log, L"notify").size();
    const WPARAM states[] = { 1, 2, static_cast<WPARAM>(-1), 1, 0 };
    for (WPARAM state : states)
        SendMessageW(run.tray, WM_TRAY_SET_STATE, state, 0);
    auto lines = NotifyLinesAfter(before);
    ASSERT_EQ(3u, lines.size()) << "2 and -1 change nothing; repeating a state modifies again";
    const std::wstring online = Field(LogLines(run.log, L"notify")[0], L"icon");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(L"1", Field(lines[i], L"action"));
        EXPECT_EQ(L"7", Field(lines[i], L"flags"));
        EXPECT_EQ(L"1", Field(lines[i], L"result"));
    }
    EXPECT_EQ(L"Оффлайн. - нет интернета", Field(lines[0], L"tip"));
    EXPECT_EQ(L"Оффлайн. - нет интернета", Field(lines[1], L"tip"));
    EXPECT_EQ(L"Чeмпионат Мира по Футболу 2010", Field(lines[2], L"tip"));
    EXPECT_NE(online, Field(lines[0], L"icon"));
    EXPECT_NE(kNoIcon, Field(lines[0], L"icon"));
    EXPECT_EQ(Field(lines[0], L"icon"), Field(lines[1], L"icon"));
    EXPECT_EQ(online, Field(lines[2], L"icon"));
}

TEST_F(TrayWindow, BalloonsFromTheEngineAreReadWithinTheirData)
{
    size_t before = LogLines(run.log, L"notify").size();
    std::wstring longText(300, L'ж');
    EXPECT_EQ(0, SendCopyData(2, longText.c_str(), static_cast<DWORD>((longText.size() + 1) * 2)));
    EXPECT_EQ(0, SendCopyData(1, L"other kind", 22));                 // ignored
    EXPECT_EQ(0, SendCopyData(2, L"abcdef", 6));                      // no terminator inside: cut to "abc"
    EXPECT_EQ(0, SendCopyData(2, L"xyz", 0));                         // no data: nothing
    EXPECT_EQ(0, SendCopyData(2, nullptr, 0));                        // nothing
    EXPECT_EQ(0, SendCopyData(2, L"q", 1));                           // not one whole unit: nothing
    EXPECT_EQ(0, SendCopyData(2, L"Гол!", 10));                       // exact
    std::string huge(1 << 20, 'A');                                   // 1 MB of non-terminated text
    EXPECT_EQ(0, SendCopyData(2, huge.data(), static_cast<DWORD>(huge.size())));

    auto balloons = BalloonsAfter(before);
    ASSERT_EQ(4u, balloons.size());
    EXPECT_EQ(longText.substr(0, 255), Field(balloons[0], L"text"));
    EXPECT_EQ(L"abc", Field(balloons[1], L"text"));
    EXPECT_EQ(L"Гол!", Field(balloons[2], L"text"));
    EXPECT_EQ(std::wstring(255, L'\x4141'), Field(balloons[3], L"text"));
    for (const auto& line : balloons) {
        EXPECT_EQ(L"1", Field(line, L"action"));
        EXPECT_EQ(L"Чeмпионат Мира по Футболу 2010", Field(line, L"title"));
        EXPECT_EQ(L"1500", Field(line, L"timeout"));
        EXPECT_EQ(L"1", Field(line, L"infoflags"));
    }
}

TEST_F(TrayWindow, IconComesBackWhenTheNotificationAreaRestarts)
{
    SendMessageW(run.tray, WM_TRAY_SET_STATE, 1, 0);
    // What a restarted shell finds: no icon, then the broadcast.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = run.tray;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(TrayIconPresent(run.tray));
    size_t before = LogLines(run.log, L"notify").size();
    SendMessageW(run.tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconPresent(run.tray));
    auto lines = NotifyLinesAfter(before);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"0", Field(lines[0], L"action"));
    EXPECT_EQ(L"Оффлайн. - нет интернета", Field(lines[0], L"tip"));
}

class TrayIcons : public ::testing::Test {
protected:
    void TearDown() override { CleanUpHost(run); }
    HostRun run;
};

TEST_F(TrayIcons, MissingOnlineIconIsReportedOnceAndTheHostRunsOn)
{
    std::wstring dir = MakeWorkDir(L"missing_icon");
    MakeInstallFolder(dir);
    DeleteFileW((dir + L"\\images\\tray.ico").c_str());
    run.dir = dir;
    run.log = dir + L"\\engine.log";
    SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", run.log.c_str());
    run.process = Start(HostExe(dir), L"football ", dir);
    HWND box = WaitForMessageBox(kHostCaption);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"не могу загрузить иконку для трея: 'images/tray.ico'", MessageBoxText(box));
    DismissMessageBox(box);
    ASSERT_TRUE(WaitForLogLine(run.log, kRunLogged));
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", kHostCaption)) << "the offline icon is not tried";
    run.tray = FindWindowW(L"tray_wnd", kTrayTitle);
    auto add = LogLines(run.log, L"notify");
    ASSERT_FALSE(add.empty());
    EXPECT_EQ(kNoIcon, Field(add[0], L"icon"));
    SendMessageW(run.tray, WM_TRAY_SET_STATE, 1, 0);
    EXPECT_EQ(kNoIcon, Field(LogLines(run.log, L"notify").back(), L"icon"));
    DWORD code = 1;
    EXPECT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
}

} // namespace
