#include "calendar.h"

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

bool LocalToUtc(const SYSTEMTIME* local, LONG bias, SYSTEMTIME* utc)
{
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = bias;
    SYSTEMTIME converted;
    if (!TzSpecificLocalTimeToSystemTime(&zone, local, &converted))
        return false;
    *utc = converted;
    return true;
}
