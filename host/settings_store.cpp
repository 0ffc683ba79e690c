#include "settings_store.h"

#include "host_resources.h"

namespace {

const DWORD kTextBytes = REGISTRY_TEXT_UNITS * sizeof(WCHAR);

} // namespace

const ProxyTextField kProxyTextFields[3] = {
    { IDC_PROXY_SERVER, VALUE_PROXY_SERVER },
    { IDC_PROXY_USER, VALUE_PROXY_USER },
    { IDC_PROXY_PASSWORD, VALUE_PROXY_PASSWORD },
};

LONG OpenSettingsKey(const WCHAR* path, HKEY* key)
{
    *key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, key, nullptr);
    if (status != ERROR_SUCCESS)
        *key = nullptr;
    return status;
}

BOOL ReadRegistryText(HKEY key, const WCHAR* name, WCHAR* text)
{
    DWORD type = REG_NONE;
    DWORD size = kTextBytes;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    if (status == ERROR_SUCCESS && type == REG_SZ) {
        // Other software may store the text without its NUL: look for it only
        // within the data, and add one where there is room for it.
        DWORD units = size / sizeof(WCHAR);
        for (DWORD i = 0; i < units; ++i) {
            if (!text[i])
                return TRUE;
        }
        if (units < REGISTRY_TEXT_UNITS) {
            text[units] = 0;
            return TRUE;
        }
        // 260 characters and no room for the terminator: as if it were longer.
    }
    text[0] = 0;
    return FALSE;
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

LONG SaveProxySettings(HWND dialog)
{
    // The mode is taken before anything else, as the user left it.
    UINT automatic = IsDlgButtonChecked(dialog, IDC_PROXY_AUTOMATIC);
    HKEY key;
    LONG status = OpenSettingsKey(PROXY_KEY, &key);
    if (status != ERROR_SUCCESS)
        return status;

    // A failed write is not noticed; the remaining values are still written.
    if (automatic == BST_CHECKED)
        WriteRegistryText(key, VALUE_PROXY_TYPE, PROXY_TYPE_AUTO, ARRAYSIZE(PROXY_TYPE_AUTO) - 1);
    else
        WriteRegistryText(key, VALUE_PROXY_TYPE, PROXY_TYPE_MANUAL, ARRAYSIZE(PROXY_TYPE_MANUAL) - 1);

    for (const ProxyTextField& entry : kProxyTextFields) {
        // A longer text is cut to its first 259 characters; disabled edits count too.
        WCHAR text[REGISTRY_TEXT_UNITS];
        text[0] = 0;
        UINT length = GetDlgItemTextW(dialog, entry.control, text, REGISTRY_TEXT_UNITS);
        if (length >= REGISTRY_TEXT_UNITS)
            length = REGISTRY_TEXT_UNITS - 1;
        text[length] = 0;
        WriteRegistryText(key, entry.value, text, length);
    }
    return RegCloseKey(key);
}
