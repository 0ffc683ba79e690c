#include "cached_copy.h"

#include <shlobj.h>
#include <wchar.h>

#include "date_texts.h"
#include "engine_settings.h"
#include "system_library.h"

namespace {

const WCHAR kCacheFolder[] = L"\\Morvane\\Tessmark";
const WCHAR kCacheName[] = L"\\worldcup2010.csv";
const WCHAR kTemporarySuffix[] = L".new";

// %LOCALAPPDATA%\Morvane\Tessmark\worldcup2010.csv and `suffix`; with `create`
// the folders are made where missing.
bool CachePath(WCHAR* path, const WCHAR* suffix, bool create)
{
    auto folderPath = SystemFunction<decltype(&SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
    if (!folderPath ||
        FAILED(folderPath(nullptr, CSIDL_LOCAL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0), nullptr,
                          SHGFP_TYPE_CURRENT, path)) ||
        lstrlenW(path) + lstrlenW(kCacheFolder) + lstrlenW(kCacheName) + lstrlenW(suffix) >= MAX_PATH)
        return false;
    lstrcatW(path, L"\\Morvane");
    if (create)
        CreateDirectoryW(path, nullptr);
    lstrcatW(path, L"\\Tessmark");
    if (create)
        CreateDirectoryW(path, nullptr);
    lstrcatW(path, kCacheName);
    lstrcatW(path, suffix);
    return true;
}

// The cache file whole (at most kMaxDataBytes) on the heap; empty when it is
// missing, too big or unreadable.
OwnedHeap<char> ReadCacheFile(DWORD* size)
{
    WCHAR path[MAX_PATH];
    if (!CachePath(path, L"", false))
        return OwnedHeap<char>();
    OwnedFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!file)
        return OwnedHeap<char>();
    DWORD high = 0;
    DWORD length = GetFileSize(file.Get(), &high);
    *size = length;
    if (length == INVALID_FILE_SIZE || high || !length || length > kMaxDataBytes)
        return OwnedHeap<char>();
    OwnedHeap<char> bytes = NewOnHeap<char>(length);
    DWORD read = 0;
    if (bytes && (!ReadFile(file.Get(), bytes.Get(), length, &read, nullptr) || read != length))
        bytes.Reset();
    return bytes;
}

} // namespace

OwnedHeap<char> CachedCopyOf(const WCHAR* url, DWORD* size, TournamentData* data)
{
    WCHAR source[REGISTRY_TEXT_UNITS];
    if (!url[0] || !ReadSettingText(SETTINGS_KEY, VALUE_DATA_SOURCE, source, REGISTRY_TEXT_UNITS) ||
        wcscmp(source, url))
        return OwnedHeap<char>();
    OwnedHeap<char> bytes = ReadCacheFile(size);
    if (bytes && !ReadTournamentData(bytes.Get(), *size, data))
        bytes.Reset();
    return bytes;
}

bool WriteCacheFile(const char* bytes, DWORD size)
{
    WCHAR path[MAX_PATH], temporary[MAX_PATH];
    if (!CachePath(path, L"", true) || !CachePath(temporary, kTemporarySuffix, false))
        return false;
    OwnedFile file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file.Get(), bytes, size, &written, nullptr) && written == size && FlushFileBuffers(file.Get());
    ok = CloseHandle(file.Release()) && ok; // closed before the rename, and its failure counts
    ok = ok && MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileW(temporary);
    return ok;
}

void StoredLastModified(WCHAR* text)
{
    WCHAR stored[REGISTRY_TEXT_UNITS];
    SYSTEMTIME time;
    ULONGLONG ticks;
    text[0] = 0;
    if (ReadSettingText(SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED, stored, REGISTRY_TEXT_UNITS) &&
        ParseUtcTime(stored, &time) && RecordToTicks(&time, &ticks))
        FormatGmtTime(&time, text);
}

void RememberLastModified(const WCHAR* lastModified)
{
    if (lastModified[0])
        WriteSettingText(SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED, lastModified);
    else
        DeleteSetting(SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED);
}
