// Where the Host and the engine keep what they share in the registry, under
// HKEY_CURRENT_USER: the two keys, the values both of them read or write, how long a
// stored text may be, and the one reader of such a text. The Host writes the proxy
// values and reads the wallpaper flag; the engine reads the proxy values, writes the
// flag and keeps its own values beside them (base/engine_settings.h).
#pragma once

#include <windows.h>

#define SETTINGS_KEY L"Software\\Morvane\\Tessmark"
#define PROXY_KEY    L"Software\\Morvane\\Tessmark\\proxy\\user"

// Settings key: REG_DWORD, non-zero while the engine's own wallpaper is set; the tray
// menu checks command 100 by it.
#define VALUE_USE_CUSTOM_WALLPAPER L"b_use_custom_wallpaper"

// Proxy key: four REG_SZ values, the password as plain text.
#define VALUE_PROXY_TYPE     L"proxy_type"     // exactly "manual", else automatic
#define VALUE_PROXY_SERVER   L"proxy_server"   // "host[:port]"
#define VALUE_PROXY_USER     L"proxy_user"
#define VALUE_PROXY_PASSWORD L"proxy_password"

#define PROXY_TYPE_AUTO   L"auto"
#define PROXY_TYPE_MANUAL L"manual"

// Registry texts are held in 260 units: at most 259 characters and the NUL.
#define REGISTRY_TEXT_UNITS 260

// Reads a REG_SZ value of an open key into text[units], always terminated there.
// False (text emptied) when the value is missing, of another type, or its text does
// not fit with its terminator. Other software may store a text without its NUL: one
// is looked for only within the data, and added where there is room.
inline bool ReadTextValue(HKEY key, const WCHAR* name, WCHAR* text, DWORD units)
{
    if (!units)
        return false;
    DWORD type = REG_NONE;
    DWORD size = units * static_cast<DWORD>(sizeof(WCHAR));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        DWORD stored = size / sizeof(WCHAR);
        for (DWORD i = 0; i < stored; ++i) {
            if (!text[i])
                return true;
        }
        if (stored < units) {
            text[stored] = 0;
            return true;
        }
    }
    text[0] = 0;
    return false;
}
