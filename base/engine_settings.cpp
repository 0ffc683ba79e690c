#include "engine_settings.h"

namespace {

// Reads the raw value; false unless it exists with that type and fits the buffer.
bool QueryValue(const WCHAR* key, const WCHAR* name, DWORD wantedType, void* data, DWORD* size)
{
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    LONG status = RegQueryValueExW(opened, name, nullptr, &type, static_cast<BYTE*>(data), size);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS && type == wantedType;
}

bool SetValue(const WCHAR* key, const WCHAR* name, DWORD type, const void* data, DWORD size)
{
    HKEY opened;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
}

} // namespace

bool ReadSettingDword(const WCHAR* key, const WCHAR* name, DWORD* value)
{
    DWORD read = 0;
    DWORD size = sizeof(read);
    if (!QueryValue(key, name, REG_DWORD, &read, &size) || size != sizeof(read))
        return false;
    *value = read;
    return true;
}

bool WriteSettingDword(const WCHAR* key, const WCHAR* name, DWORD value)
{
    return SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

bool ReadSettingText(const WCHAR* key, const WCHAR* name, WCHAR* text, DWORD units)
{
    DWORD size = units * sizeof(WCHAR);
    if (QueryValue(key, name, REG_SZ, text, &size)) {
        // Other software may store the text without its NUL: look for one within
        // the data, and add one where there is room.
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
    if (units)
        text[0] = 0;
    return false;
}

bool WriteSettingText(const WCHAR* key, const WCHAR* name, const WCHAR* text)
{
    return SetValue(key, name, REG_SZ, text, (lstrlenW(text) + 1) * static_cast<DWORD>(sizeof(WCHAR)));
}

bool CopySettingValue(const WCHAR* fromKey, const WCHAR* fromName, const WCHAR* toKey, const WCHAR* toName)
{
    HKEY opened;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, fromKey, 0, KEY_QUERY_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return DeleteSetting(toKey, toName);
    if (status != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE, size = 0;
    status = RegQueryValueExW(opened, fromName, nullptr, &type, nullptr, &size);
    BYTE* data = nullptr;
    if (status == ERROR_SUCCESS && size <= kMaxCopiedBytes) {
        // One byte more than asked for: a value that grew meanwhile fails, never cut.
        DWORD room = size + 1;
        data = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, room));
        status = data ? RegQueryValueExW(opened, fromName, nullptr, &type, data, &room) : ERROR_NOT_ENOUGH_MEMORY;
        size = room;
    }
    RegCloseKey(opened);
    bool copied = false;
    if (status == ERROR_FILE_NOT_FOUND)
        copied = DeleteSetting(toKey, toName);
    else if (status == ERROR_SUCCESS && data)
        copied = SetValue(toKey, toName, type, data, size);
    if (data)
        HeapFree(GetProcessHeap(), 0, data);
    return copied;
}

bool DeleteSetting(const WCHAR* key, const WCHAR* name)
{
    HKEY opened;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    status = RegDeleteValueW(opened, name);
    RegCloseKey(opened);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
