// The fixed zone and the clock: UTC+3, daylight time UTC+4 from the last Sunday of
// April 02:00 to the last Sunday of October 02:00, every year. No state, no allocation.
#pragma once

#include <windows.h>

// Local time of the fixed zone for a UTC record, with the daylight rule of the
// date's own year. Nothing happens when either record is null.
void UtcToFixedZone(SYSTEMTIME* local, const SYSTEMTIME* utc);
// Converts the record in place; null for null. A record that is no real date is
// left as it was.
SYSTEMTIME* ConvertToFixedZone(SYSTEMTIME* time);
// The current time in the fixed zone / in UTC; null for null.
SYSTEMTIME* GetFixedZoneNow(SYSTEMTIME* time);
SYSTEMTIME* GetUtcNow(SYSTEMTIME* time);
