// File times: the base of the Loader's time module. Records hold UTC; a tick
// count is a FILETIME taken as one 64-bit number of 100 ns units since 1601.
#pragma once

#include <windows.h>

#include "calendar.h" // RecordToTicks, TicksToRecord

// The file's last-write time (UTC, to the millisecond). False for a missing file
// or a path with wildcards, with 1700-01-01 00:00:00.000 (weekday 0) left in the
// record; false and nothing written for null arguments.
bool GetFileLastWriteTime(const WCHAR* path, SYSTEMTIME* time);

// The record's tick count; 0 for null and for a record that is no real date.
ULONGLONG SystemTimeToTicks(const SYSTEMTIME* time);

// -1, 0 or 1 as a is earlier than, equal to or later than b (null counts as 0 ticks).
int CompareSystemTimes(const SYSTEMTIME* a, const SYSTEMTIME* b);
