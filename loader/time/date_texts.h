// Date texts: the range check, the web-style text form of a time
// ("Fri, 11 Jun 2010 08:05:09 GMT"), its two readers and the Russian names of
// months and weekdays. No state, no allocation.
#pragma once

#include <windows.h>

#include "file_times.h"

// Room the callers of FormatGmtTime and GetFileTimeText give: the longest text
// ("Sun, 31 Jan 65535 23:59:59 GMT") is 30 characters plus the terminator.
const int kGmtTextUnits = 31;

// True when every field is in range (the year is not checked, day 0 passes, the
// day is not checked against its month); false for null.
bool IsSystemTimeValid(const SYSTEMTIME* time);

// Writes the record as it stands ("Fri, 11 Jun 2010 08:05:09 GMT", no zone
// conversion, weekday from wDayOfWeek) or "err" when it is out of range; gives
// the characters written. Writes at most kGmtTextUnits units; 0 for a null buffer.
int FormatGmtTime(const SYSTEMTIME* time, WCHAR* text);

// The file's last-write time written by FormatGmtTime. False, buffer untouched,
// for a missing file or null arguments.
bool GetFileTimeText(const WCHAR* path, WCHAR* text);

// Reads "Fri, 11 Jun 2010 08:05:09 UTC" (whatever follows the seconds is not
// checked). Gives the record, or null with the record untouched; a number that
// does not fit 32 bits is refused.
SYSTEMTIME* ParseUtcTime(const WCHAR* text, SYSTEMTIME* time);

// Reads "Fri, 11 Jun 2010 12:00:00 +0300" (8-bit) and gives the record holding
// UTC, or null with the record untouched. The zone number is hours and minutes
// (+0530 is 5 h 30 min; minutes up to 59, at most 99 hours). A local time that is
// no real date (day 0, 31 April) still gives the record, left as it was; a real
// date whose UTC falls before 1601 gives null.
SYSTEMTIME* ParseZonedTime(const char* text, SYSTEMTIME* time);

// Russian month name (genitive) / weekday name of an in-range record; otherwise,
// and for null, "err_month" / "err_day_of_week".
const WCHAR* GetMonthNameRu(const SYSTEMTIME* time);
const WCHAR* GetDayOfWeekNameRu(const SYSTEMTIME* time);
