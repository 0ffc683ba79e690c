// The Host's settings in the registry under HKEY_CURRENT_USER: the wallpaper flag
// that the tray menu shows, and the proxy values that the engine reads. Keys,
// values and types only: what the user sees of them is the callers' business.
#pragma once

#include <windows.h>

#include "shared_settings.h"

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
