#include "fixed_zone.h"

namespace {

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
