#include "wallpaper.h"

#include "engine_settings.h"
#include "owners.h"

namespace {

// Our picture is 1920 x 1080 and is stretched to the screen: "2"/"0" is the one
// style that fills every screen from Windows XP to 11 (fill "10" and fit "6" came
// with Windows 7). A pitch seen from above stays a pitch when the screen's shape
// differs a little.
const WCHAR kOurStyle[] = L"2";
const WCHAR kOurTile[] = L"0";

const UINT kWallpaperUpdate = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;

// A BMP the desktop can draw: sane headers and every pixel row they promise within
// the file. Checked here because the system may accept a missing or cut file and
// show plain colour instead.
bool IsDrawableBitmap(const WCHAR* path)
{
    OwnedFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    BITMAPFILEHEADER head = {};
    BITMAPINFOHEADER info = {};
    DWORD headRead = 0;
    DWORD infoRead = 0;
    bool read = GetFileSizeEx(file.Get(), &size) && ReadFile(file.Get(), &head, sizeof(head), &headRead, nullptr) &&
                headRead == sizeof(head) && ReadFile(file.Get(), &info, sizeof(info), &infoRead, nullptr) &&
                infoRead == sizeof(info);
    if (!read || head.bfType != 0x4D42 /* "BM" */ || info.biSize < sizeof(info) || info.biWidth <= 0 ||
        info.biHeight == 0 || info.biPlanes != 1)
        return false;
    if (info.biCompression != BI_RGB && info.biCompression != BI_BITFIELDS)
        return false;
    WORD bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    ULONGLONG fileSize = static_cast<ULONGLONG>(size.QuadPart);
    if (head.bfOffBits < sizeof(head) + info.biSize || head.bfOffBits >= fileSize)
        return false;
    // Rows are padded to 4 bytes; a negative height means the rows run top-down.
    ULONGLONG stride = (static_cast<ULONGLONG>(info.biWidth) * bits + 31) / 32 * 4;
    LONGLONG height = info.biHeight;
    ULONGLONG rows = static_cast<ULONGLONG>(height < 0 ? -height : height);
    // Divided rather than multiplied, so huge header values cannot overflow.
    return rows <= (fileSize - head.bfOffBits) / stride;
}

bool SetWallpaper(const WCHAR* path)
{
    return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<WCHAR*>(path), kWallpaperUpdate) != FALSE;
}

// The wallpaper the system shows now ("" for none). False when it cannot be told in
// full: a path that fills the whole buffer may have been cut, and a cut path
// remembered would never come back.
bool ReadCurrentWallpaper(WCHAR* path, DWORD units)
{
    path[0] = 0;
    if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, units, path, 0))
        return false;
    path[units - 1] = 0;
    return static_cast<DWORD>(lstrlenW(path)) < units - 1;
}

// The user's wallpaper as it stands ("" for none): the Wallpaper value that the
// system's settings write and the next logon shows, else the system's own answer.
// False when it cannot be told in full.
bool ReadUsersWallpaper(WCHAR* path, DWORD units)
{
    if (ReadSettingText(DESKTOP_KEY, VALUE_WALLPAPER, path, units))
        return static_cast<DWORD>(lstrlenW(path)) < units - 1;
    return ReadCurrentWallpaper(path, units);
}

// Our picture by its path, or by the name the system gave it when it was set (a
// system that converts pictures names its copy).
bool IsOurs(const WCHAR* path, const WCHAR* picturePath)
{
    WCHAR shown[REGISTRY_TEXT_UNITS];
    if (!path[0])
        return false;
    if (picturePath && picturePath[0] && !lstrcmpiW(path, picturePath))
        return true;
    return ReadSettingText(SETTINGS_KEY, VALUE_SHOWN_WALLPAPER, shown, REGISTRY_TEXT_UNITS) && shown[0] &&
           !lstrcmpiW(path, shown);
}

// Whether the desktop still shows our picture; a wallpaper the user chose since is
// theirs to keep. Both the system's answer and the Wallpaper value that a settings
// dialog writes must say ours: a process may keep the system's answer from before
// another program's change (Wine does), and a program may set a picture without
// writing the value.
bool OursIsShown(const WCHAR* picturePath)
{
    WCHAR current[MAX_PATH], stored[REGISTRY_TEXT_UNITS];
    if (!ReadCurrentWallpaper(current, MAX_PATH) || !IsOurs(current, picturePath))
        return false;
    return !ReadSettingText(DESKTOP_KEY, VALUE_WALLPAPER, stored, REGISTRY_TEXT_UNITS) || IsOurs(stored, picturePath);
}

// Puts back the remembered style (each value with the type and bytes it had) and
// file. An unreadable record gives no wallpaper and the system's default style:
// safe, and it takes our picture away as asked.
bool PutBackRemembered(void)
{
    bool styled =
        CopySettingValue(SETTINGS_KEY, VALUE_SAVED_WALLPAPER_STYLE, DESKTOP_KEY, VALUE_WALLPAPER_STYLE) &&
        CopySettingValue(SETTINGS_KEY, VALUE_SAVED_TILE_WALLPAPER, DESKTOP_KEY, VALUE_TILE_WALLPAPER);
    WCHAR saved[REGISTRY_TEXT_UNITS];
    ReadSettingText(SETTINGS_KEY, VALUE_SAVED_WALLPAPER, saved, REGISTRY_TEXT_UNITS); // "" when unreadable
    if (SetWallpaper(saved))
        return styled;
    // Windows refuses a picture that was deleted since; it cannot come back, and
    // keeping ours would leave the user unable to take it away.
    if (saved[0] && GetFileAttributesW(saved) == INVALID_FILE_ATTRIBUTES && SetWallpaper(L""))
        return styled;
    return false;
}

} // namespace

bool CustomWallpaperIsOn(void)
{
    DWORD on = 0;
    return ReadSettingDword(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, &on) && on != 0;
}

bool TurnCustomWallpaperOn(const WCHAR* picturePath)
{
    // Ours is already set: what is remembered is the user's and must stay so.
    if (CustomWallpaperIsOn())
        return true;
    if (!picturePath || !IsDrawableBitmap(picturePath))
        return false;
    WCHAR current[MAX_PATH];
    if (!ReadUsersWallpaper(current, MAX_PATH))
        return false;
    // Remember first. When ours already shows with the flag clear (a run ended
    // between the set and the flag), the record still holds the user's: keep it.
    if (!OursIsShown(picturePath)) {
        if (!WriteSettingText(SETTINGS_KEY, VALUE_SAVED_WALLPAPER, current) ||
            !CopySettingValue(DESKTOP_KEY, VALUE_WALLPAPER_STYLE, SETTINGS_KEY, VALUE_SAVED_WALLPAPER_STYLE) ||
            !CopySettingValue(DESKTOP_KEY, VALUE_TILE_WALLPAPER, SETTINGS_KEY, VALUE_SAVED_TILE_WALLPAPER))
            return false;
    }
    // Then the style (the system reads it at the set but never writes it), the
    // picture, the name the system gives it, and the flag last.
    if (WriteSettingText(DESKTOP_KEY, VALUE_WALLPAPER_STYLE, kOurStyle) &&
        WriteSettingText(DESKTOP_KEY, VALUE_TILE_WALLPAPER, kOurTile) && SetWallpaper(picturePath)) {
        WCHAR shown[MAX_PATH];
        if (ReadCurrentWallpaper(shown, MAX_PATH))
            WriteSettingText(SETTINGS_KEY, VALUE_SHOWN_WALLPAPER, shown);
        if (WriteSettingDword(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, 1))
            return true;
    }
    PutBackRemembered();
    return false;
}

bool TurnCustomWallpaperOff(const WCHAR* picturePath)
{
    if (!CustomWallpaperIsOn())
        return true;
    if (OursIsShown(picturePath) && !PutBackRemembered())
        return false;
    return WriteSettingDword(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, 0);
}

void NoticeWallpaperChange(const WCHAR* picturePath)
{
    if (CustomWallpaperIsOn() && !OursIsShown(picturePath))
        WriteSettingDword(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, 0);
}
