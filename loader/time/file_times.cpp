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
    const FILETIME& written = found.ftLastWriteTime;
    return TicksToRecord((static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime, time);
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
