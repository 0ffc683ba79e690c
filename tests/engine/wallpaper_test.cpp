// The engine's wallpaper switch, driven as the Host drives it (the widget's messages
// sent from outside), checked in the Win32 state it leaves: the wallpaper and style
// values under Control Panel\Desktop and what the settings key remembers.
//
// Where these tests bend to Wine:
// - Wine keeps each process's system parameters in a cache of its own, filled on
//   first use, so another process's SPI_GETDESKWALLPAPER never sees a later change.
//   The system's wallpaper is therefore read from the Wallpaper value that
//   SPIF_UPDATEINIFILE writes, and the user's wallpaper is set before the Host starts.
// - Wine draws BMP only, ignores the stretch style and never writes the style values
//   itself: the style is checked as the values the engine wrote, not on the screen.
// - Wine accepts a missing or cut file as wallpaper, so a picture refused here was
//   refused by the engine's own check; and it keeps only the first 259 characters
//   of a longer path, which is how a path too long to remember whole is made.
#include <gtest/gtest.h>

#include "base/engine_settings.h"
#include "base/wallpaper.h"
#include "host/engine_interface.h"
#include "test_support.h"

using namespace qt;

namespace {

RegValue Raw(DWORD type, const void* data, size_t size)
{
    RegValue value;
    value.exists = true;
    value.type = type;
    value.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    return value;
}

RegValue Text(const std::wstring& text)
{
    return Raw(REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

RegValue Flag(DWORD on)
{
    return Raw(REG_DWORD, &on, sizeof(on));
}

const RegValue kAbsent;

bool Put(const wchar_t* path, const wchar_t* name, const RegValue& value)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG status = value.exists ? RegSetValueExW(key, name, 0, value.type, value.data.data(),
                                                static_cast<DWORD>(value.data.size()))
                               : RegDeleteValueW(key, name);
    RegCloseKey(key);
    return status == ERROR_SUCCESS || (!value.exists && status == ERROR_FILE_NOT_FOUND);
}

// What the desktop shows and how: the three values of Control Panel\Desktop.
struct Desktop {
    RegValue wallpaper, style, tile;
};

Desktop ReadDesktop()
{
    return { ReadValue(DESKTOP_KEY, L"Wallpaper"), ReadValue(DESKTOP_KEY, VALUE_WALLPAPER_STYLE),
             ReadValue(DESKTOP_KEY, VALUE_TILE_WALLPAPER) };
}

void ExpectDesktop(const Desktop& expected, const Desktop& actual)
{
    EXPECT_EQ(expected.wallpaper.Text(), actual.wallpaper.Text());
    EXPECT_TRUE(expected.style == actual.style) << "WallpaperStyle \"" << actual.style.Text() << "\"";
    EXPECT_TRUE(expected.tile == actual.tile) << "TileWallpaper \"" << actual.tile.Text() << "\"";
}

// Sets the user's wallpaper as a settings dialog would: the style values, then the file.
bool SetUserDesktop(const std::wstring& wallpaper, const RegValue& style, const RegValue& tile)
{
    return Put(DESKTOP_KEY, VALUE_WALLPAPER_STYLE, style) && Put(DESKTOP_KEY, VALUE_TILE_WALLPAPER, tile) &&
           SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(wallpaper.c_str()),
                                 SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

RegValue Setting(const wchar_t* name)
{
    return ReadValue(SETTINGS_KEY, name);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

class Wallpaper : public ::testing::Test {
protected:
    void SetUp() override
    {
        before = ReadDesktop();
        DeleteTree(kMorvaneKey);
        userPicture = MakeWorkDir(L"wallpaper_user") + L"\\my holiday.bmp";
        ASSERT_TRUE(CopyFileW(BinPath(L"images\\wallpaper.bmp").c_str(), userPicture.c_str(), FALSE));
    }
    void TearDown() override
    {
        CleanUpHost(run);
        DeleteTree(kMorvaneKey);
        SetUserDesktop(before.wallpaper.Text(), before.style, before.tile);
        Put(DESKTOP_KEY, L"Wallpaper", before.wallpaper);
    }

    void Start(const wchar_t* name)
    {
        ASSERT_TRUE(StartWidgetHost(run, name, L""));
        ours = run.dir + L"\\images\\wallpaper.bmp";
    }
    // The Host's own way to the engine; true when the widget answered in time.
    bool Send(UINT message)
    {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(run.widget, message, 0, 0, SMTO_NORMAL, kWaitMs, &answer) != 0;
    }
    void Exit()
    {
        DWORD code = 1;
        ASSERT_TRUE(ExitHost(run, &code));
        EXPECT_EQ(0u, code);
    }
    void ExpectOurs()
    {
        Desktop now = ReadDesktop();
        EXPECT_TRUE(SamePath(ours, now.wallpaper.Text())) << now.wallpaper.Text().c_str();
        EXPECT_TRUE(Text(L"2") == now.style);
        EXPECT_TRUE(Text(L"0") == now.tile);
        EXPECT_TRUE(Flag(1) == Setting(VALUE_USE_CUSTOM_WALLPAPER));
    }

    Desktop before;
    std::wstring userPicture;
    std::wstring ours;
    HostRun run;
};

TEST_F(Wallpaper, OnThenOffPutsBackTheUsersExactWallpaperAndStyle)
{
    const struct {
        const wchar_t* name;
        bool picture;
        RegValue style, tile;
    } cases[] = {
        { L"wallpaper_fill", true, Text(L"10"), Text(L"0") },
        { L"wallpaper_no_tile", true, Text(L"0"), kAbsent }, // TileWallpaper absent, as Wine leaves it
        { L"wallpaper_none", false, kAbsent, kAbsent },      // the user had no wallpaper
    };
    for (const auto& user : cases) {
        SCOPED_TRACE(testing::Message() << user.name);
        std::wstring picture = user.picture ? userPicture : L"";
        ASSERT_TRUE(SetUserDesktop(picture, user.style, user.tile));
        Desktop expected = ReadDesktop();
        Start(user.name);
        // Twice round: the second ON remembers afresh what the first OFF put back.
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
            ExpectOurs();
            EXPECT_EQ(picture, Setting(VALUE_SAVED_WALLPAPER).Text());
            EXPECT_TRUE(user.style == Setting(VALUE_SAVED_WALLPAPER_STYLE));
            EXPECT_TRUE(user.tile == Setting(VALUE_SAVED_TILE_WALLPAPER));

            ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
            ExpectDesktop(expected, ReadDesktop());
            EXPECT_TRUE(Flag(0) == Setting(VALUE_USE_CUSTOM_WALLPAPER));
        }
        Exit();
    }
}

TEST_F(Wallpaper, TheRememberedWallpaperIsNeverOverwrittenAndTheUsersNewerChoiceStays)
{
    ASSERT_TRUE(SetUserDesktop(userPicture, Text(L"6"), Text(L"0")));
    Desktop users = ReadDesktop();
    Start(L"wallpaper_twice");
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    auto remembered = KeySnapshot(SETTINGS_KEY);
    // ON while on changes nothing: ours is never remembered as the user's.
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    EXPECT_TRUE(remembered == KeySnapshot(SETTINGS_KEY));

    // The user picks another picture in the system's settings (which tell every window):
    // ours is off from then on, and OFF leaves the user's choice as it is.
    std::wstring other = run.dir + L"\\other.bmp";
    ASSERT_TRUE(SetUserDesktop(other, Text(L"1"), Text(L"1")));
    Desktop choice = ReadDesktop();
    EXPECT_TRUE(WaitUntil([] { return Flag(0) == Setting(VALUE_USE_CUSTOM_WALLPAPER); }));
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop(choice, ReadDesktop());
    // ON again remembers that choice, and OFF brings it back.
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    ExpectOurs();
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop(choice, ReadDesktop());

    // A program that changes the wallpaper without telling anyone: OFF still finds
    // ours gone, keeps the change and clears the flag.
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    ASSERT_TRUE(Put(DESKTOP_KEY, VALUE_WALLPAPER_STYLE, Text(L"0")));
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(userPicture.c_str()),
                                      SPIF_UPDATEINIFILE));
    Desktop quiet = ReadDesktop();
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop(quiet, ReadDesktop());
    EXPECT_TRUE(Flag(0) == Setting(VALUE_USE_CUSTOM_WALLPAPER));
    // OFF while off changes nothing.
    auto off = KeySnapshot(SETTINGS_KEY);
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop(quiet, ReadDesktop());
    EXPECT_TRUE(off == KeySnapshot(SETTINGS_KEY));
    Exit();

    // A run that ended after ours was set but before the flag: ours shows, the flag
    // is clear and the record holds the user's. ON keeps that record.
    std::wstring oursNext = BinDir() + L"\\testwork\\wallpaper_resume\\images\\wallpaper.bmp";
    ASSERT_TRUE(SetUserDesktop(oursNext, Text(L"2"), Text(L"0")));
    for (const auto& value : remembered)
        if (value.first != VALUE_USE_CUSTOM_WALLPAPER)
            ASSERT_TRUE(Put(SETTINGS_KEY, value.first.c_str(), value.second));
    ASSERT_TRUE(Put(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, kAbsent));
    Start(L"wallpaper_resume");
    ASSERT_TRUE(SamePath(oursNext, ours));
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    ExpectOurs();
    EXPECT_EQ(userPicture, Setting(VALUE_SAVED_WALLPAPER).Text());
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop(users, ReadDesktop());
    Exit();
}

TEST_F(Wallpaper, OnRefusesAPictureItCannotShowOrAWallpaperItCannotRemember)
{
    ASSERT_TRUE(SetUserDesktop(userPicture, Text(L"0"), kAbsent));
    Desktop users = ReadDesktop();
    Start(L"wallpaper_damaged");
    std::string good = ReadFileBytes(ours);
    ASSERT_EQ(54u + 1920u * 3u * 1080u, good.size());
    std::string badMark = good;
    badMark[0] = 'X';
    const struct {
        const char* what;
        std::string bytes;
        bool present;
    } pictures[] = {
        { "rows cut off", good.substr(0, 200000), true },
        { "headers only", good.substr(0, 54), true },
        { "not a BMP", badMark, true },
        { "empty", std::string(), true },
        { "missing", std::string(), false },
    };
    for (const auto& picture : pictures) {
        SCOPED_TRACE(picture.what);
        DeleteFileW(ours.c_str());
        if (picture.present)
            ASSERT_TRUE(WriteFileBytes(ours, picture.bytes));
        ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
        ExpectDesktop(users, ReadDesktop());
        EXPECT_FALSE(Setting(VALUE_USE_CUSTOM_WALLPAPER).exists);
    }
    // The same steps with the picture whole: it is the picture that was refused.
    ASSERT_TRUE(WriteFileBytes(ours, good));
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    ExpectOurs();
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    Exit();

    // A wallpaper path longer than the system gives back whole is not cut and remembered.
    std::wstring longPath = run.dir;
    while (longPath.size() < 300)
        longPath += L"\\a folder";
    longPath += L"\\x.bmp";
    ASSERT_TRUE(SetUserDesktop(longPath, Text(L"0"), kAbsent));
    users = ReadDesktop();
    DeleteTree(kMorvaneKey);
    Start(L"wallpaper_long");
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    ExpectDesktop(users, ReadDesktop());
    EXPECT_FALSE(Setting(VALUE_USE_CUSTOM_WALLPAPER).exists);
    EXPECT_FALSE(Setting(VALUE_SAVED_WALLPAPER).exists);
    Exit();
}

TEST_F(Wallpaper, StyleValuesComeBackWithTheirOwnTypeAndAWrongFlagReadsAsOff)
{
    // Other software may store the style as a number, or as bytes.
    const DWORD style = 2;
    const BYTE tile[] = { '1', 0, 0 };
    ASSERT_TRUE(SetUserDesktop(userPicture, Raw(REG_DWORD, &style, 4), Raw(REG_BINARY, tile, 3)));
    Desktop users = ReadDesktop();
    Start(L"wallpaper_types");
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    ExpectOurs();
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop(users, ReadDesktop());

    // A flag that is no 4-byte REG_DWORD reads as off: OFF changes nothing.
    const WORD shortOne = 1;
    for (const RegValue& flag : { Text(L"1"), Raw(REG_DWORD, &shortOne, 2) }) {
        ASSERT_TRUE(Put(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, flag));
        ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
        ExpectDesktop(users, ReadDesktop());
        EXPECT_TRUE(flag == Setting(VALUE_USE_CUSTOM_WALLPAPER));
    }
    // A remembered picture that cannot be read gives the safe default, no wallpaper; the
    // remembered style values, whatever they hold, go back as they are.
    ASSERT_TRUE(Put(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, kAbsent));
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_ON));
    const RegValue odd = Raw(REG_BINARY, L"2", 4), long_ = Text(std::wstring(300, L'1'));
    ASSERT_TRUE(Put(SETTINGS_KEY, VALUE_SAVED_WALLPAPER, Flag(1)));
    ASSERT_TRUE(Put(SETTINGS_KEY, VALUE_SAVED_WALLPAPER_STYLE, odd));
    ASSERT_TRUE(Put(SETTINGS_KEY, VALUE_SAVED_TILE_WALLPAPER, long_));
    ASSERT_TRUE(Send(WM_ENGINE_WALLPAPER_OFF));
    ExpectDesktop({ Text(L""), odd, long_ }, ReadDesktop());
    EXPECT_TRUE(Flag(0) == Setting(VALUE_USE_CUSTOM_WALLPAPER));
    EXPECT_TRUE(IsWindow(run.widget));
    Exit();
}

} // namespace
