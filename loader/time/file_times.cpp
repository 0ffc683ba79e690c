#include "file_times.h"

#include <wchar.h>

namespace {

// Left in the record when the file is not found.
const SYSTEMTIME kDefaultFileTime = { 1700, 1, 0, 1, 0, 0, 0, 0 };

// FindFirstFileW reads these as a pattern (the file system takes <, > and " for
// wildcards too) and gives whichever file matches first; no file name holds them.
// The "\\?\" prefix of a long path is no pattern.
bool HasWildcard(const WCHAR* path)
{
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\')
        path += 4;
    return wcspbrk(path, L"*?<>\"") != nullptr;
}

} // namespace

bool GetFileLastWriteTime(const WCHAR* path, SYSTEMTIME* time)
{
    if (!path || !time)
        return false;
    *time = kDefaultFileTime;
    if (HasWildcard(path))
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return FileTimeToSystemTime(&found.ftLastWriteTime, time) != FALSE;
}

bool RecordToTicks(const SYSTEMTIME* time, ULONGLONG* ticks)
{
    FILETIME fileTime;
    if (!SystemTimeToFileTime(time, &fileTime))
        return false;
    *ticks = (static_cast<ULONGLONG>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    return true;
}

bool TicksToRecord(ULONGLONG ticks, SYSTEMTIME* time)
{
    FILETIME fileTime;
    fileTime.dwLowDateTime = static_cast<DWORD>(ticks);
    fileTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME converted;
    if (!FileTimeToSystemTime(&fileTime, &converted))
        return false;
    *time = converted;
    return true;
}

ULONGLONG SystemTimeToTicks(const SYSTEMTIME* time)
{
    // A record that is no real date does not convert and counts as 0 ticks.
    ULONGLONG ticks = 0;
    if (time)
        RecordToTicks(time, &ticks);
    return ticks;
}

int CompareSystemTimes(const SYSTEMTIME* a, const SYSTEMTIME* b)
{
    ULONGLONG ta = SystemTimeToTicks(a);
    ULONGLONG tb = SystemTimeToTicks(b);
    return ta == tb ? 0 : (ta > tb ? 1 : -1);
}
