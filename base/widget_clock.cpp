#include "widget_clock.h"

#include <wchar.h>

#include "day_arithmetic.h"
#include "file_times.h"
#include "fixed_zone.h"
#include "system_library.h"

namespace {

const ULONGLONG kTicksPerHour = 36000000000ULL;
const ULONGLONG kTicksPerMs = 10000;
const ULONGLONG kFastestReplay = 3600;

// The replay: its moment, the real time it started at and its speed; without one
// the clock is the real time.
bool s_replaying;
ULONGLONG s_replayStart, s_realStart, s_speed = 1;

// The computer's zone rules of a few recent years: every redraw converts every
// match's kick-off, and reading the rules is a registry lookup.
struct YearRules {
    WORD year;
    TIME_ZONE_INFORMATION rules;
};
const int kKeptYears = 4;
bool s_computersZone;
YearRules s_years[kKeptYears];
int s_keptYears, s_nextSlot;

typedef DWORD(WINAPI* DynamicZoneFunction)(DYNAMIC_TIME_ZONE_INFORMATION*);
typedef BOOL(WINAPI* ZoneForYearFunction)(USHORT, DYNAMIC_TIME_ZONE_INFORMATION*, TIME_ZONE_INFORMATION*);

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

// The year's own rules where the system keeps them per year (Vista on; the functions
// are looked up so that older systems still load the engine), else today's.
void ReadYearRules(WORD year, TIME_ZONE_INFORMATION* rules)
{
    auto dynamicZone = SystemFunction<DynamicZoneFunction>(L"kernel32.dll", "GetDynamicTimeZoneInformation");
    auto zoneForYear = SystemFunction<ZoneForYearFunction>(L"kernel32.dll", "GetTimeZoneInformationForYear");
    DYNAMIC_TIME_ZONE_INFORMATION zone = {};
    // With the daylight change switched off by the user, today's rules say so.
    if (dynamicZone && zoneForYear && dynamicZone(&zone) != TIME_ZONE_ID_INVALID && !zone.DynamicDaylightTimeDisabled &&
        zoneForYear(year, &zone, rules))
        return;
    if (GetTimeZoneInformation(rules) == TIME_ZONE_ID_INVALID)
        *rules = TIME_ZONE_INFORMATION(); // UTC rather than nothing
}

const TIME_ZONE_INFORMATION* RulesOf(WORD year)
{
    for (int i = 0; i < s_keptYears; ++i) {
        if (s_years[i].year == year)
            return &s_years[i].rules;
    }
    YearRules& slot = s_years[s_nextSlot];
    s_nextSlot = (s_nextSlot + 1) % kKeptYears;
    if (s_keptYears < kKeptYears)
        ++s_keptYears;
    slot.year = year;
    ReadYearRules(year, &slot.rules);
    return &slot.rules;
}

void ToComputersZone(ULONGLONG utc, SYSTEMTIME* local)
{
    SYSTEMTIME record = {};
    TicksToRecord(utc, &record);
    SYSTEMTIME converted = record; // kept should the platform refuse the conversion
    SystemTimeToTzSpecificLocalTime(RulesOf(record.wYear), &record, &converted);
    // Around the new year the local year's rules are the ones that count.
    if (converted.wYear != record.wYear)
        SystemTimeToTzSpecificLocalTime(RulesOf(converted.wYear), &record, &converted);
    *local = converted;
    TicksToRecord(LocalTicks(converted), local); // the weekday too
}

ULONGLONG ComputersZoneToUtc(const SYSTEMTIME& local)
{
    SYSTEMTIME utc = local;
    if (!TzSpecificLocalTimeToSystemTime(RulesOf(local.wYear), &local, &utc))
        return LocalTicks(local);
    return LocalTicks(utc);
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

ULONGLONG ParseReplaySpeed(const WCHAR* commandLine)
{
    const WCHAR* at = commandLine ? wcsstr(commandLine, L"/speed=") : nullptr;
    if (!at)
        return 1;
    at += 7;
    ULONGLONG speed = 0;
    int digits = 0;
    for (; *at >= L'0' && *at <= L'9'; ++at, ++digits) {
        speed = speed * 10 + static_cast<ULONGLONG>(*at - L'0');
        if (speed > kFastestReplay)
            return 1;
    }
    return digits && speed && EndsWord(*at) ? speed : 1;
}

void StartWidgetClock(const WCHAR* commandLine)
{
    s_realStart = RealNow();
    s_replaying = ParseReplayDate(commandLine, &s_replayStart);
    s_speed = s_replaying ? ParseReplaySpeed(commandLine) : 1;
}

bool ReplayRunning(void)
{
    return s_replaying;
}

ULONGLONG WidgetNow(void)
{
    ULONGLONG real = RealNow();
    if (!s_replaying)
        return real;
    // Signed: the system's clock may have been put back since the start.
    LONGLONG passed = static_cast<LONGLONG>(real - s_realStart);
    return s_replayStart + static_cast<ULONGLONG>(passed * static_cast<LONGLONG>(s_speed));
}

ULONGLONG RealMsUntil(ULONGLONG moment)
{
    ULONGLONG now = WidgetNow();
    if (moment <= now)
        return 0;
    ULONGLONG step = s_speed * kTicksPerMs; // widget ticks in a real millisecond
    return (moment - now + step - 1) / step;
}

void UseComputersZone(bool computers)
{
    s_computersZone = computers;
}

void ForgetZoneRules(void)
{
    s_keptYears = s_nextSlot = 0;
}

bool ComputersZoneOffset(ULONGLONG utc, int* minutes)
{
    *minutes = 0;
    if (!s_computersZone)
        return false;
    // A record keeps no time finer than a millisecond: the moment is taken at its
    // whole minute, so the difference is whole minutes too.
    const ULONGLONG minute = kTicksPerHour / 60;
    ULONGLONG whole = utc - utc % minute;
    SYSTEMTIME local;
    ToComputersZone(whole, &local);
    LONGLONG difference = static_cast<LONGLONG>(LocalTicks(local) - whole);
    *minutes = static_cast<int>(difference / static_cast<LONGLONG>(minute));
    return true;
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

void ToShownZone(ULONGLONG utc, SYSTEMTIME* local)
{
    if (s_computersZone)
        ToComputersZone(utc, local);
    else
        ToFixedZone(utc, local);
}

ULONGLONG ShownZoneToUtc(const SYSTEMTIME& local)
{
    return s_computersZone ? ComputersZoneToUtc(local) : FixedZoneToUtc(local);
}

ULONGLONG LocalDayNumber(ULONGLONG utc)
{
    SYSTEMTIME local;
    ToShownZone(utc, &local);
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
    return ShownZoneToUtc(local);
}
