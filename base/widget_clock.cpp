#include "widget_clock.h"

#include <wchar.h>

#include "day_arithmetic.h"
#include "file_times.h"
#include "fixed_zone.h"

namespace {

const ULONGLONG kTicksPerHour = 36000000000ULL;

// Replay moment minus the real time at the start; 0 without a replay.
LONGLONG s_offset;

ULONGLONG RealNow(void)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

bool ReadDigits(const WCHAR* text, int digits, WORD* value)
{
    WORD result = 0;
    for (int i = 0; i < digits; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        result = static_cast<WORD>(result * 10 + (text[i] - L'0'));
    }
    *value = result;
    return true;
}

bool EndsWord(WCHAR c)
{
    return c == 0 || c == L' ' || c == L'\t' || c == L'"';
}

ULONGLONG LocalTicks(const SYSTEMTIME& local)
{
    ULONGLONG ticks = 0;
    RecordToTicks(&local, &ticks);
    return ticks;
}

} // namespace

bool ParseReplayDate(const WCHAR* commandLine, ULONGLONG* utc)
{
    const WCHAR* at = commandLine ? wcsstr(commandLine, L"/date=") : nullptr;
    if (!at)
        return false;
    at += 6;
    SYSTEMTIME local = {};
    if (!ReadDigits(at, 4, &local.wYear) || at[4] != L'-' || !ReadDigits(at + 5, 2, &local.wMonth) ||
        at[7] != L'-' || !ReadDigits(at + 8, 2, &local.wDay))
        return false;
    if (at[10] == L'T') {
        if (!ReadDigits(at + 11, 2, &local.wHour) || at[13] != L':' || !ReadDigits(at + 14, 2, &local.wMinute))
            return false;
        const WCHAR* end = at + 16;
        if (*end == L':') {
            if (!ReadDigits(end + 1, 2, &local.wSecond) || local.wSecond > 59)
                return false;
            end += 3;
        }
        if (!EndsWord(*end))
            return false;
    } else if (!EndsWord(at[10])) {
        return false;
    }
    // The platform refuses what is no real date (31 April, month 13, hour 24).
    ULONGLONG ticks;
    if (local.wYear < 1602 || local.wHour > 23 || local.wMinute > 59 || !RecordToTicks(&local, &ticks))
        return false;
    *utc = FixedZoneToUtc(local);
    return true;
}

void StartWidgetClock(const WCHAR* commandLine)
{
    ULONGLONG replay;
    s_offset = ParseReplayDate(commandLine, &replay) ? static_cast<LONGLONG>(replay - RealNow()) : 0;
}

ULONGLONG WidgetNow(void)
{
    return RealNow() + static_cast<ULONGLONG>(s_offset);
}

void ToFixedZone(ULONGLONG utc, SYSTEMTIME* local)
{
    SYSTEMTIME record = {};
    TicksToRecord(utc, &record);
    *local = record; // kept should the platform refuse the conversion
    UtcToFixedZone(local, &record);
}

ULONGLONG FixedZoneToUtc(const SYSTEMTIME& local)
{
    ULONGLONG wanted = LocalTicks(local);
    // The zone is UTC+3 or UTC+4: the moment is whichever of the two maps back.
    const ULONGLONG offsets[] = { 3, 4 };
    for (ULONGLONG hours : offsets) {
        SYSTEMTIME back;
        ToFixedZone(wanted - hours * kTicksPerHour, &back);
        if (LocalTicks(back) == wanted)
            return wanted - hours * kTicksPerHour;
    }
    return wanted - 4 * kTicksPerHour;
}

ULONGLONG LocalDayNumber(ULONGLONG utc)
{
    SYSTEMTIME local;
    ToFixedZone(utc, &local);
    return LocalTicks(local) / kTicksPerDay;
}

ULONGLONG LocalDayStart(ULONGLONG day)
{
    return LocalDayHour(day, 0);
}

ULONGLONG LocalDayHour(ULONGLONG day, int hour)
{
    SYSTEMTIME local = {};
    TicksToRecord(day * kTicksPerDay + static_cast<ULONGLONG>(hour) * kTicksPerHour, &local);
    return FixedZoneToUtc(local);
}
