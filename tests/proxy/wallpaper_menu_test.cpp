// The tray popup and the settings key: each opening reads the wallpaper flag (the
// shipped menu has no item 100 to show it, so the key and the flag are what is
// observable), and "Настройки прокси..." picked from the popup opens the dialog.
#include <gtest/gtest.h>

#include "proxy_test_support.h"
#include "test_support.h"
#include "host/engine_interface.h"

using namespace qt;

namespace {

const wchar_t kFlag[] = VALUE_USE_CUSTOM_WALLPAPER;

class WallpaperMenu : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(kMorvaneKey); }
    void TearDown() override
    {
        if (menu && IsWindowVisible(menu))
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        CleanUpHost(run);
    }

    // Right button released over the icon; waits for the popup.
    bool OpenMenu()
    {
        PostMessageW(run.tray, WM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
        return WaitUntil([&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); }, 5000);
    }
    bool CloseMenu()
    {
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        return WaitUntil([&] { return !IsWindowVisible(menu); }, 5000);
    }

    HostRun run;
    HWND menu = nullptr;
};

TEST_F(WallpaperMenu, OpeningThePopupOnAnEmptyProfileCreatesTheEmptySettingsKey)
{
    ASSERT_TRUE(StartHost(run, L"wallpaper_empty", L""));
    ASSERT_FALSE(KeyExists(SETTINGS_KEY)) << "nothing reads the settings before the popup opens";
    ASSERT_TRUE(OpenMenu());
    EXPECT_TRUE(WaitUntil([] { return KeyExists(SETTINGS_KEY); }, 5000));
    EXPECT_EQ(0, ValueCount(SETTINGS_KEY));
    EXPECT_FALSE(KeyExists(PROXY_KEY)) << "the proxy key belongs to the dialog";
    EXPECT_TRUE(CloseMenu());

    // Read afresh on every opening: a key removed meanwhile comes back.
    DeleteTree(kMorvaneKey);
    ASSERT_TRUE(OpenMenu());
    EXPECT_TRUE(WaitUntil([] { return KeyExists(SETTINGS_KEY); }, 5000));
    EXPECT_TRUE(CloseMenu());
    EXPECT_TRUE(EngineMessages(run.log).empty());
}

TEST_F(WallpaperMenu, EveryStoredFormOfTheFlagIsOnlyRead)
{
    ASSERT_TRUE(StartHost(run, L"wallpaper_forms", L""));
    const DWORD seven = 7;
    const ULONGLONG wide = 1;
    const BYTE two[2] = { 1, 0 };
    const struct {
        DWORD type;
        const void* data;
        DWORD bytes;
    } forms[] = {
        { REG_DWORD, &seven, 4 }, { REG_SZ, L"1", 4 }, { REG_QWORD, &wide, 8 }, { REG_DWORD, two, 2 },
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(testing::Message() << "type " << form.type << ", " << form.bytes << " bytes");
        ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, form.type, form.data, form.bytes));
        RegValue stored = ReadValue(SETTINGS_KEY, kFlag);
        ASSERT_TRUE(OpenMenu());
        EXPECT_TRUE(CloseMenu());
        EXPECT_TRUE(ReadValue(SETTINGS_KEY, kFlag) == stored) << "the Host never writes the flag";
        EXPECT_EQ(1, ValueCount(SETTINGS_KEY));
    }
    DWORD code = 1;
    EXPECT_TRUE(ExitHost(run, &code)) << "the Host still answers";
    EXPECT_TRUE(EngineMessages(run.log).empty());
}

TEST_F(WallpaperMenu, ProxySettingsPickedFromThePopupOpensTheDialogAtTheCursor)
{
    ASSERT_TRUE(StartHost(run, L"wallpaper_pick_proxy", L""));
    SetCursorPos(500, 400);
    ASSERT_TRUE(OpenMenu());
    // Down selects the first item, "Настройки прокси...", Enter picks it.
    PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND dialog = WaitForWindow(L"#32770", kProxyCaption, 5000);
    ASSERT_NE(nullptr, dialog);
    // Created hidden; shown once filled and placed.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(dialog); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }, 5000));
    RECT frame;
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(500, frame.right);
    EXPECT_EQ(400, frame.bottom);
    EXPECT_TRUE(Checked(dialog, 1000));

    Send(dialog, WM_CLOSE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
    EXPECT_TRUE(WaitForLogLine(run.log, L"proxy", 1, 5000));
    EXPECT_EQ(L"auto", ReadValue(PROXY_KEY, VALUE_PROXY_TYPE).Text());
}

} // namespace
