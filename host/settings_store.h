// The Host's settings in the registry under HKEY_CURRENT_USER: the wallpaper flag
// that the tray menu shows, and the proxy values that the engine reads. Keys,
// values and types only: what the user sees of them is the callers' business.
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

// Registry strings are held in 260 units: at most 259 characters and the NUL.
#define REGISTRY_TEXT_UNITS 260

// The proxy settings: the mode and the three texts, in the order they are read and
// written.
enum ProxyText { PROXY_SERVER_TEXT, PROXY_USER_TEXT, PROXY_PASSWORD_TEXT, PROXY_TEXT_COUNT };
struct ProxySettings {
    BOOL manual;                                       // proxy_type is exactly "manual"
    WCHAR text[PROXY_TEXT_COUNT][REGISTRY_TEXT_UNITS]; // server, login, password
    BOOL found[PROXY_TEXT_COUNT];                      // when read: the value was there
};

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

// Reads the proxy key, creating it when missing. FALSE, and nothing read, when the
// key cannot be opened or proxy_type is no REG_SZ; otherwise the mode and whichever
// of the three texts are stored as REG_SZ.
BOOL ReadProxySettings(ProxySettings* settings);

// Stores the mode and the three texts (each cut to 259 characters) in the proxy
// key. A failed write does not stop the next. Returns the error of opening the
// key, else the status of closing it.
LONG StoreProxySettings(const ProxySettings* settings);
