#include "day_arithmetic.h"

namespace {

// FileTimeToSystemTime refuses tick counts with the top bit set: this is the
// last instant the platform can represent (a day in the year 30828).
const ULONGLONG kLastTick = 0x7FFFFFFFFFFFFFFFULL;

// The fixed zone: UTC+3 (Bias + StandardBias = -180), UTC+4 in daylight time
// (-240), daylight time from the last Sunday (wDay 5) of April 02:00 to the last
// Sunday of October 02:00, the same rule every year (wYear 0).
void FillFixedZone(TIME_ZONE_INFORMATION* zone)
{
    *zone = TIME_ZONE_INFORMATION();
    zone->Bias = 0;
    zone->StandardDate.wMonth = 10;
    zone->StandardDate.wDayOfWeek = 0;
    zone->StandardDate.wDay = 5;
    zone->StandardDate.wHour = 2;
    zone->StandardBias = -180;
    zone->DaylightDate.wMonth = 4;
    zone->DaylightDate.wDayOfWeek = 0;
    zone->DaylightDate.wDay = 5;
    zone->DaylightDate.wHour = 2;
    zone->DaylightBias = -240;
}

} // namespace

void UtcToFixedZone(SYSTEMTIME* local, const SYSTEMTIME* utc)
{
    if (!local || !utc)
        return;
    TIME_ZONE_INFORMATION zone;
    FillFixedZone(&zone);
    SystemTimeToTzSpecificLocalTime(&zone, utc, local);
}

SYSTEMTIME* ConvertToFixedZone(SYSTEMTIME* time)
{
    if (!time)
        return nullptr;
    // Starts as the caller's record, so a date the platform refuses comes back as it was.
    SYSTEMTIME local = *time;
    UtcToFixedZone(&local, time);
    *time = local;
    return time;
}

SYSTEMTIME* GetUtcNow(SYSTEMTIME* time)
{
    if (!time)
        return nullptr;
    GetSystemTime(time);
    return time;
}

SYSTEMTIME* GetFixedZoneNow(SYSTEMTIME* time)
{
    if (!time)
        return nullptr;
    GetUtcNow(time);
    return ConvertToFixedZone(time);
}

int DaysBetween(const SYSTEMTIME* a, const SYSTEMTIME* b)
{
    if (!a || !b)
        return 0;
    ULONGLONG ticksA = SystemTimeToTicks(a);
    ULONGLONG ticksB = SystemTimeToTicks(b);
    ULONGLONG spans = (ticksA > ticksB ? ticksA - ticksB : ticksB - ticksA) / kTicksPerDay;
    int days = static_cast<int>(spans);
    return ticksA > ticksB ? days : -days;
}

void AddDays(SYSTEMTIME* time, DWORD days)
{
    if (!time)
        return;
    // The platform conversion, not SystemTimeToTicks: its 0 for a refused record
    // would be taken for 1601-01-01.
    FILETIME start;
    if (!SystemTimeToFileTime(time, &start))
        return;
    ULONGLONG ticks = (static_cast<ULONGLONG>(start.dwHighDateTime) << 32) | start.dwLowDateTime;
    // The product in 64 bits: n x 86,400 seconds overflows 32 bits past 49,710 days.
    if (ticks > kLastTick || days > (kLastTick - ticks) / kTicksPerDay)
        return;
    ticks += static_cast<ULONGLONG>(days) * kTicksPerDay;
    FILETIME moved;
    moved.dwLowDateTime = static_cast<DWORD>(ticks);
    moved.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME result;
    if (FileTimeToSystemTime(&moved, &result))
        *time = result;
}

ULONGLONG SystemTimeToDayNumber(const SYSTEMTIME* time)
{
    return SystemTimeToTicks(time) / kTicksPerDay;
}

int DayNumberDifference(const SYSTEMTIME* a, const SYSTEMTIME* b)
{
    return static_cast<int>(static_cast<LONGLONG>(SystemTimeToDayNumber(a) - SystemTimeToDayNumber(b)));
}
