#include "wallpaper.h"

#include "engine_settings.h"

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
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    BITMAPFILEHEADER head = {};
    BITMAPINFOHEADER info = {};
    DWORD headRead = 0;
    DWORD infoRead = 0;
    bool read = GetFileSizeEx(file, &size) && ReadFile(file, &head, sizeof(head), &headRead, nullptr) &&
                headRead == sizeof(head) && ReadFile(file, &info, sizeof(info), &infoRead, nullptr) &&
                infoRead == sizeof(info);
    CloseHandle(file);
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

// Copies a text value from one key to another; a value that is absent (or of
// another type or size, which reads as absent) makes the copy absent too.
bool CopySettingText(const WCHAR* fromKey, const WCHAR* fromName, const WCHAR* toKey, const WCHAR* toName)
{
    WCHAR text[kSettingTextUnits];
    if (ReadSettingText(fromKey, fromName, text, kSettingTextUnits))
        return WriteSettingText(toKey, toName, text);
    return DeleteSetting(toKey, toName);
}

// Puts back the remembered style and file. An unreadable record gives no wallpaper
// and the system's default style: safe, and it takes our picture away as asked.
bool PutBackRemembered(void)
{
    bool styled = CopySettingText(ENGINE_SETTINGS_KEY, VALUE_SAVED_WALLPAPER_STYLE, DESKTOP_KEY,
                                  VALUE_WALLPAPER_STYLE) &&
                  CopySettingText(ENGINE_SETTINGS_KEY, VALUE_SAVED_TILE_WALLPAPER, DESKTOP_KEY, VALUE_TILE_WALLPAPER);
    WCHAR saved[kSettingTextUnits];
    ReadSettingText(ENGINE_SETTINGS_KEY, VALUE_SAVED_WALLPAPER, saved, kSettingTextUnits); // "" when unreadable
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
    return ReadSettingDword(ENGINE_SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, &on) && on != 0;
}

bool TurnCustomWallpaperOn(const WCHAR* picturePath)
{
    // Ours is already set: what is remembered is the user's and must stay so.
    if (CustomWallpaperIsOn())
        return true;
    if (!picturePath || !IsDrawableBitmap(picturePath))
        return false;
    WCHAR current[MAX_PATH];
    if (!ReadCurrentWallpaper(current, MAX_PATH))
        return false;
    // Remember first. When ours already shows with the flag clear (a run ended
    // between the set and the flag), the record still holds the user's: keep it.
    if (lstrcmpiW(current, picturePath) != 0) {
        if (!WriteSettingText(ENGINE_SETTINGS_KEY, VALUE_SAVED_WALLPAPER, current) ||
            !CopySettingText(DESKTOP_KEY, VALUE_WALLPAPER_STYLE, ENGINE_SETTINGS_KEY, VALUE_SAVED_WALLPAPER_STYLE) ||
            !CopySettingText(DESKTOP_KEY, VALUE_TILE_WALLPAPER, ENGINE_SETTINGS_KEY, VALUE_SAVED_TILE_WALLPAPER))
            return false;
    }
    // Then the style (the system reads it at the set but never writes it), the
    // picture, and the flag last.
    if (WriteSettingText(DESKTOP_KEY, VALUE_WALLPAPER_STYLE, kOurStyle) &&
        WriteSettingText(DESKTOP_KEY, VALUE_TILE_WALLPAPER, kOurTile) && SetWallpaper(picturePath) &&
        WriteSettingDword(ENGINE_SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, 1))
        return true;
    PutBackRemembered();
    return false;
}

bool TurnCustomWallpaperOff(void)
{
    if (!CustomWallpaperIsOn())
        return true;
    return PutBackRemembered() && WriteSettingDword(ENGINE_SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER, 0);
}
