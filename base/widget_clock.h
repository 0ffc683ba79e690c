// The widget's clock: the real time, or a replay that starts at the moment named by
// "/date=" on the command line and runs on from there, as fast as "/speed=" says.
// Moments are UTC ticks (100 ns since 1601); the widget shows them in the fixed zone
// (UTC+3, UTC+4 in summer) or, once chosen, in the computer's own zone.
#pragma once

#include <windows.h>

// "/date=YYYY-MM-DD", "/date=YYYY-MM-DDTHH:MM" or "/date=YYYY-MM-DDTHH:MM:SS"
// anywhere in the command line, read as fixed-zone time whatever zone is shown: true
// with that moment. False for none or a malformed one.
bool ParseReplayDate(const WCHAR* commandLine, ULONGLONG* utc);
// "/speed=N" anywhere in the command line, N a whole number from 1 to 3600: how many
// times faster than the real time a replay runs. 1 for none, a malformed or an
// out-of-range one.
ULONGLONG ParseReplaySpeed(const WCHAR* commandLine);

// Starts the clock at the replay moment of the command line, at its speed, else at
// the real time (a speed without a replay is ignored). Main thread only, like the
// functions below.
void StartWidgetClock(const WCHAR* commandLine);
ULONGLONG WidgetNow(void);
// True while a replay runs: goals then count from their estimated moments, not as
// soon as the data hold them.
bool ReplayRunning(void);
// The real milliseconds until the widget's clock reaches `moment`, rounded up; 0 once
// it has.
ULONGLONG RealMsUntil(ULONGLONG moment);

// Which zone the widget shows: the fixed zone (false, from the start) or the
// computer's own, with the rules each moment's year had there where the system keeps
// them per year.
void UseComputersZone(bool computers);
// Drops the computer zone's rules kept per year, after the system's time or zone
// changed.
void ForgetZoneRules(void);
// The computer zone's offset from UTC at `utc` in minutes, east positive; false (0)
// while the fixed zone is shown.
bool ComputersZoneOffset(ULONGLONG utc, int* minutes);

// The fixed-zone record of a moment (weekday included).
void ToFixedZone(ULONGLONG utc, SYSTEMTIME* local);
// The moment of a fixed-zone time. In the hour that the change to summer time skips,
// summer time is taken.
ULONGLONG FixedZoneToUtc(const SYSTEMTIME& local);
// The same for the zone shown.
void ToShownZone(ULONGLONG utc, SYSTEMTIME* local);
ULONGLONG ShownZoneToUtc(const SYSTEMTIME& local);
// Whole days since 1601 in the zone shown: equal for moments of the same calendar
// day there.
ULONGLONG LocalDayNumber(ULONGLONG utc);
// The moment the shown zone's day `day` begins, and the moment it reaches hour:00.
ULONGLONG LocalDayStart(ULONGLONG day);
ULONGLONG LocalDayHour(ULONGLONG day, int hour);
