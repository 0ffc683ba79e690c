// The Host's settings in the registry under HKEY_CURRENT_USER: the wallpaper flag
// that the tray menu shows, and the proxy values that the engine reads.
#pragma once

#include <windows.h>

// Both keys live under HKEY_CURRENT_USER.
#define SETTINGS_KEY L"Software\\Morvane\\Tessmark"
#define PROXY_KEY    L"Software\\Morvane\\Tessmark\\proxy\\user"

// Settings key: non-zero REG_DWORD checks command 100 when the tray menu opens.
#define VALUE_USE_CUSTOM_WALLPAPER L"b_use_custom_wallpaper"

// Proxy key: four REG_SZ values; the engine reads them, the password as plain text.
#define VALUE_PROXY_TYPE     L"proxy_type"
#define VALUE_PROXY_SERVER   L"proxy_server"
#define VALUE_PROXY_USER     L"proxy_user"
#define VALUE_PROXY_PASSWORD L"proxy_password"

#define PROXY_TYPE_AUTO   L"auto"
#define PROXY_TYPE_MANUAL L"manual"

// The proxy dialog's edits and the values they are stored in, in the order they
// are read and written.
struct ProxyTextField {
    int control;
    const WCHAR* value;
};
extern const ProxyTextField kProxyTextFields[3];

// Registry strings are held in 260 units: at most 259 characters and the NUL.
#define REGISTRY_TEXT_UNITS 260

// Opens (creating when missing) a key below HKEY_CURRENT_USER with full access.
// Returns the registry status; *key is null unless it is ERROR_SUCCESS.
LONG OpenSettingsKey(const WCHAR* path, HKEY* key);

// Reads a REG_SZ value into text[REGISTRY_TEXT_UNITS], always terminated there.
// FALSE (text emptied) when the value is missing, of another type, or its text
// does not fit the buffer together with its terminator.
BOOL ReadRegistryText(HKEY key, const WCHAR* name, WCHAR* text);

// Writes text as REG_SZ with its terminator: (length + 1) * 2 bytes.
LONG WriteRegistryText(HKEY key, const WCHAR* name, const WCHAR* text, DWORD length);

// The stored b_use_custom_wallpaper when it is a 4-byte REG_DWORD, else 0.
DWORD ReadUseCustomWallpaper(void);

// Stores the proxy dialog's mode and its three texts in the proxy key. Returns
// the error of opening the key, else the status of closing it.
LONG SaveProxySettings(HWND dialog);
