#include "engine_settings.h"

#include "owners.h"

namespace {

bool OpenToRead(const WCHAR* key, OwnedKey* opened, LONG* status)
{
    *status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, opened->Receive());
    return *status == ERROR_SUCCESS;
}

bool SetValue(const WCHAR* key, const WCHAR* name, DWORD type, const void* data, DWORD size)
{
    OwnedKey opened;
    return RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                           opened.Receive(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(opened.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

} // namespace

bool ReadSettingDword(const WCHAR* key, const WCHAR* name, DWORD* value)
{
    OwnedKey opened;
    LONG status;
    DWORD read = 0, type = REG_NONE, size = sizeof(read);
    if (!OpenToRead(key, &opened, &status) ||
        RegQueryValueExW(opened.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(read))
        return false;
    *value = read;
    return true;
}

bool WriteSettingDword(const WCHAR* key, const WCHAR* name, DWORD value)
{
    return SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

bool ReadSettingBinary(const WCHAR* key, const WCHAR* name, void* data, DWORD size)
{
    OwnedKey opened;
    LONG status;
    DWORD type = REG_NONE, read = size;
    OwnedHeap<BYTE> bytes = NewOnHeap<BYTE>(size);
    if (!bytes || !OpenToRead(key, &opened, &status) ||
        RegQueryValueExW(opened.Get(), name, nullptr, &type, bytes.Get(), &read) != ERROR_SUCCESS ||
        type != REG_BINARY || read != size)
        return false;
    CopyMemory(data, bytes.Get(), size);
    return true;
}

bool WriteSettingBinary(const WCHAR* key, const WCHAR* name, const void* data, DWORD size)
{
    return SetValue(key, name, REG_BINARY, data, size);
}

bool ReadSettingText(const WCHAR* key, const WCHAR* name, WCHAR* text, DWORD units)
{
    OwnedKey opened;
    LONG status;
    if (OpenToRead(key, &opened, &status))
        return ReadTextValue(opened.Get(), name, text, units);
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
    OwnedKey opened;
    LONG status;
    if (!OpenToRead(fromKey, &opened, &status))
        return status == ERROR_FILE_NOT_FOUND && DeleteSetting(toKey, toName);
    DWORD type = REG_NONE, size = 0;
    status = RegQueryValueExW(opened.Get(), fromName, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return DeleteSetting(toKey, toName);
    if (status != ERROR_SUCCESS || size > kMaxCopiedBytes)
        return false;
    // One byte more than asked for: a value that grew meanwhile fails, never cut.
    DWORD room = size + 1;
    OwnedHeap<BYTE> data = NewOnHeap<BYTE>(room);
    if (!data || RegQueryValueExW(opened.Get(), fromName, nullptr, &type, data.Get(), &room) != ERROR_SUCCESS)
        return false;
    return SetValue(toKey, toName, type, data.Get(), room);
}

bool DeleteSetting(const WCHAR* key, const WCHAR* name)
{
    OwnedKey opened;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, opened.Receive());
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;
    status = RegDeleteValueW(opened.Get(), name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
