// The engine's settings in the registry under HKEY_CURRENT_USER: the keys and values
// it shares with the Host (host/shared_settings.h) and the values only the engine
// writes. Values of the wrong type or size read as absent, so the callers fall back
// to their defaults.
#pragma once

#include <windows.h>

#include "../host/shared_settings.h"

// Settings key, the engine's own values.
#define VALUE_WIDGET_SKIN           L"widget_skin"            // REG_DWORD, the skin's index
#define VALUE_WIDGET_LEFT           L"widget_left"            // REG_DWORD (signed), screen pixels
#define VALUE_WIDGET_TOP            L"widget_top"             // REG_DWORD (signed), screen pixels
#define VALUE_SAVED_WALLPAPER       L"saved_wallpaper"        // REG_SZ, the user's picture
#define VALUE_SAVED_WALLPAPER_STYLE L"saved_wallpaper_style"  // its WallpaperStyle, type and bytes as they were
#define VALUE_SAVED_TILE_WALLPAPER  L"saved_tile_wallpaper"   // its TileWallpaper, type and bytes as they were
#define VALUE_SHOWN_WALLPAPER       L"shown_wallpaper"        // REG_SZ, ours as the system names it once set
#define VALUE_DATA_URL              L"data_url"               // REG_SZ, where fresh data comes from
#define VALUE_DATA_SOURCE           L"data_cached_url"        // REG_SZ, the address the cached copy is from
#define VALUE_DATA_LAST_MODIFIED    L"data_last_modified"     // REG_SZ, that copy's Last-Modified
#define VALUE_UPDATE_URL            L"update_url"             // REG_SZ, where the release description is
#define VALUE_UPDATE_CHECKED_URL    L"update_checked_url"     // REG_SZ, the address the next two are about
#define VALUE_UPDATE_LAST_MODIFIED  L"update_last_modified"   // REG_SZ, its verified description's Last-Modified
#define VALUE_UPDATE_DESCRIBED      L"update_described_version" // REG_SZ, the version that description named
#define VALUE_UPDATE_PENDING        L"update_pending_version" // REG_SZ, the version of the package left for the Loader
// The user's preferences (base/preferences.h says what each means and its default).
#define VALUE_FAVOURITE_TEAM        L"favourite_team"         // REG_SZ, a team's code as in the data file
#define VALUE_REMINDER_MINUTES      L"reminder_minutes"       // REG_DWORD, 0 or 5..120
#define VALUE_REMINDER_MY_TEAM_ONLY L"reminder_my_team_only"  // REG_DWORD, 0 or 1
#define VALUE_TIME_ZONE             L"time_zone"              // REG_DWORD, 0 Moscow, 1 this computer's
#define VALUE_WIDGET_LAYER          L"widget_layer"           // REG_DWORD, a WidgetLayer
#define VALUE_WIDGET_OPACITY        L"widget_opacity"         // REG_DWORD, 20..100 (%)
#define VALUE_WIDGET_LOCKED         L"widget_locked"          // REG_DWORD, 0 or 1
#define VALUE_GOAL_BALLOONS         L"goal_balloons"          // REG_DWORD, a GoalBalloons
#define VALUE_HIDE_SCORES           L"hide_scores"            // REG_DWORD, 0 or 1
// What the widget has told of the matches as they happened (base/widget_news.cpp).
#define VALUE_ANNOUNCED_GOALS       L"announced_goals"        // REG_BINARY, goals and ends per match

// A REG_DWORD of exactly 4 bytes; false (value untouched) for anything else.
bool ReadSettingDword(const WCHAR* key, const WCHAR* name, DWORD* value);
bool WriteSettingDword(const WCHAR* key, const WCHAR* name, DWORD value);
// A REG_BINARY of exactly `size` bytes; false (data untouched) for anything else.
bool ReadSettingBinary(const WCHAR* key, const WCHAR* name, void* data, DWORD size);
bool WriteSettingBinary(const WCHAR* key, const WCHAR* name, const void* data, DWORD size);
// A REG_SZ that fits `units` units with its terminator (a NUL is added when the
// stored data lacks one); false, and text emptied, for anything else.
bool ReadSettingText(const WCHAR* key, const WCHAR* name, WCHAR* text, DWORD units);
bool WriteSettingText(const WCHAR* key, const WCHAR* name, const WCHAR* text);
// Copies a value of any type and size (up to kMaxCopiedBytes) with its type and
// bytes; an absent value makes the copy absent. False when it could not be read
// or written.
bool CopySettingValue(const WCHAR* fromKey, const WCHAR* fromName, const WCHAR* toKey, const WCHAR* toName);
const DWORD kMaxCopiedBytes = 64 * 1024;
// True when the value is gone afterwards (also when it never existed).
bool DeleteSetting(const WCHAR* key, const WCHAR* name);
