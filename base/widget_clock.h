// The widget's clock: the real time, or a replay that starts at the moment named by
// "/date=" on the command line and runs on from there. Moments are UTC ticks (100 ns
// since 1601); the widget shows them in the fixed zone (UTC+3, UTC+4 in summer).
#pragma once

#include <windows.h>

// "/date=YYYY-MM-DD", "/date=YYYY-MM-DDTHH:MM" or "/date=YYYY-MM-DDTHH:MM:SS"
// anywhere in the command line, read as fixed-zone time: true with that moment. False for none or a malformed one.
bool ParseReplayDate(const WCHAR* commandLine, ULONGLONG* utc);

// Starts the clock at the replay moment of the command line, else at the real time.
// Main thread only, like WidgetNow.
void StartWidgetClock(const WCHAR* commandLine);
ULONGLONG WidgetNow(void);

// The fixed-zone record of a moment (weekday included).
void ToFixedZone(ULONGLONG utc, SYSTEMTIME* local);
// The moment of a fixed-zone time. In the hour that the change to summer time skips,
// summer time is taken.
ULONGLONG FixedZoneToUtc(const SYSTEMTIME& local);
// Whole fixed-zone days since 1601: equal for moments of the same calendar day there.
ULONGLONG LocalDayNumber(ULONGLONG utc);
// The moment the fixed-zone day `day` begins, and the moment it reaches hour:00.
ULONGLONG LocalDayStart(ULONGLONG day);
ULONGLONG LocalDayHour(ULONGLONG day, int hour);
