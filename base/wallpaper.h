// The widget's own desktop picture. ON remembers the user's wallpaper (file and
// style) under the settings key before it sets ours; OFF puts back exactly what was
// remembered while ours is still the one shown, and leaves a wallpaper the user chose
// since. The flag b_use_custom_wallpaper says ours is set, so ON while on and OFF
// while off change nothing and the remembered wallpaper is never overwritten.
#pragma once

#include <windows.h>

// Where Windows keeps the wallpaper's style under HKEY_CURRENT_USER: REG_SZ texts as
// Windows writes them (other software may store other types), which the system
// itself leaves alone when a program sets the wallpaper.
#define DESKTOP_KEY           L"Control Panel\\Desktop"
#define VALUE_WALLPAPER       L"Wallpaper"
#define VALUE_WALLPAPER_STYLE L"WallpaperStyle"
#define VALUE_TILE_WALLPAPER  L"TileWallpaper"

// Non-zero b_use_custom_wallpaper (a 4-byte REG_DWORD; anything else reads 0).
bool CustomWallpaperIsOn(void);
// Sets the picture at `picturePath` (a BMP file). False, with the user's wallpaper
// and the flag left as they were, when the picture is missing or damaged or the
// system refuses it.
bool TurnCustomWallpaperOn(const WCHAR* picturePath);
// Clears the flag, and first puts the remembered wallpaper back while ours is still
// shown. False when the system refuses it (the flag then stays set, so a later OFF
// tries again).
bool TurnCustomWallpaperOff(const WCHAR* picturePath);
// The desktop's wallpaper changed (WM_SETTINGCHANGE): when ours is no longer shown,
// the user chose another, and the flag (and every check mark that follows it) clears.
void NoticeWallpaperChange(const WCHAR* picturePath);
