// The platform's calendar, the one door through which the time module's readers and
// arithmetic reach the platform: a record's tick count and back, and a local time at
// a fixed offset to UTC. So they stay plain code, and the native fuzz build (fuzz/)
// links a portable implementation in place of calendar.cpp.
#pragma once

#include <windows.h>

// The record's tick count: true, or false (ticks untouched) for a record the
// platform does not convert, a record that is no real date.
bool RecordToTicks(const SYSTEMTIME* time, ULONGLONG* ticks);
// The record of a tick count (weekday included): true, or false (record untouched)
// for a count past the last date the platform represents.
bool TicksToRecord(ULONGLONG ticks, SYSTEMTIME* time);

// The UTC of a local time `bias` minutes behind UTC (UTC = local + bias, as a
// TIME_ZONE_INFORMATION's Bias; no daylight time). False, *utc untouched, when the
// platform refuses: a local record that is no real date, a UTC before 1601.
bool LocalToUtc(const SYSTEMTIME* local, LONG bias, SYSTEMTIME* utc);
