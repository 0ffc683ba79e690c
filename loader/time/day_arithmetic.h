// Whole days between records and a record moved by whole days. No state, no
// allocation.
#pragma once

#include <windows.h>

#include "file_times.h"

// One day in ticks (86,400 seconds of 10,000,000 ticks).
const ULONGLONG kTicksPerDay = 864000000000ULL;

// Whole 24-hour spans from b to a, cut toward zero, positive when a is later;
// 0 when either is null.
int DaysBetween(const SYSTEMTIME* a, const SYSTEMTIME* b);
// Moves the record `days` days on (weekday recomputed, milliseconds kept). A null
// record, a record that is no real date, or a sum past the last representable
// date leaves the record unchanged.
void AddDays(SYSTEMTIME* time, DWORD days);
// Whole days since 1601-01-01 UTC; 0 for null.
ULONGLONG SystemTimeToDayNumber(const SYSTEMTIME* time);
// Day number of a minus day number of b: the midnights between the two.
int DayNumberDifference(const SYSTEMTIME* a, const SYSTEMTIME* b);
