#include "settings_store.h"

#include <wchar.h>

namespace {

// The proxy texts' values, in ProxyText order.
const WCHAR* const kProxyTextValues[PROXY_TEXT_COUNT] = { VALUE_PROXY_SERVER, VALUE_PROXY_USER,
                                                          VALUE_PROXY_PASSWORD };

} // namespace

LONG OpenSettingsKey(const WCHAR* path, HKEY* key)
{
    *key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, key, nullptr);
    if (status != ERROR_SUCCESS)
        *key = nullptr;
    return status;
}

LONG WriteRegistryText(HKEY key, const WCHAR* name, const WCHAR* text, DWORD length)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          (length + 1) * static_cast<DWORD>(sizeof(WCHAR)));
}

DWORD ReadUseCustomWallpaper(void)
{
    HKEY key;
    if (OpenSettingsKey(SETTINGS_KEY, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    LONG status = RegQueryValueExW(key, VALUE_USE_CUSTOM_WALLPAPER, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                   &size);
    RegCloseKey(key);
    // A REG_DWORD of fewer than 4 bytes holds no whole value and reads as 0.
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value))
        return 0;
    return value;
}

BOOL ReadProxySettings(ProxySettings* settings)
{
    HKEY key;
    OpenSettingsKey(PROXY_KEY, &key);
    WCHAR type[REGISTRY_TEXT_UNITS];
    BOOL typeFound = key && ReadTextValue(key, VALUE_PROXY_TYPE, type, REGISTRY_TEXT_UNITS);
    if (typeFound) {
        // Unit by unit and case-sensitive: "Manual" or "manual " mean automatic.
        settings->manual = wcsncmp(type, PROXY_TYPE_MANUAL, REGISTRY_TEXT_UNITS) == 0;
        for (int i = 0; i < PROXY_TEXT_COUNT; ++i)
            settings->found[i] = ReadTextValue(key, kProxyTextValues[i], settings->text[i], REGISTRY_TEXT_UNITS);
    }
    if (key)
        RegCloseKey(key);
    return typeFound;
}

LONG StoreProxySettings(const ProxySettings* settings)
{
    HKEY key;
    LONG status = OpenSettingsKey(PROXY_KEY, &key);
    if (status != ERROR_SUCCESS)
        return status;
    // A failed write is not noticed; the remaining values are still written.
    if (settings->manual)
        WriteRegistryText(key, VALUE_PROXY_TYPE, PROXY_TYPE_MANUAL, ARRAYSIZE(PROXY_TYPE_MANUAL) - 1);
    else
        WriteRegistryText(key, VALUE_PROXY_TYPE, PROXY_TYPE_AUTO, ARRAYSIZE(PROXY_TYPE_AUTO) - 1);
    for (int i = 0; i < PROXY_TEXT_COUNT; ++i) {
        // Cut to 259 characters and terminated, whatever the caller left in the buffer.
        WCHAR text[REGISTRY_TEXT_UNITS];
        lstrcpynW(text, settings->text[i], REGISTRY_TEXT_UNITS);
        WriteRegistryText(key, kProxyTextValues[i], text, static_cast<DWORD>(lstrlenW(text)));
    }
    return RegCloseKey(key);
}
