// The time module's calendar (loader/time/calendar.h) for the native fuzz build: the
// proleptic Gregorian calendar in 100 ns ticks since 1601-01-01, from 1601 to the last
// instant a FILETIME carries (30828-09-14 02:48:05.477, no tick count with the top bit
// set), both ways alike.
#include "calendar.h"

namespace {

const ULONGLONG kTicksPerMillisecond = 10000ULL;
const ULONGLONG kTicksPerDay = 86400ULL * 1000 * kTicksPerMillisecond;
const ULONGLONG kLastTick = 0x7FFFFFFFFFFFFFFFULL;
const int kFirstYear = 1601;
const int kLastYear = 30828; // its last instant checked as ticks
const int kDaysPer400Years = 146097;

bool IsLeap(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
    static const int kDays[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
}

int DaysInYear(int year)
{
    return IsLeap(year) ? 366 : 365;
}

} // namespace

bool RecordToTicks(const SYSTEMTIME* time, ULONGLONG* ticks)
{
    if (time->wYear < kFirstYear || time->wYear > kLastYear || time->wMonth < 1 || time->wMonth > 12 ||
        time->wDay < 1 || time->wDay > DaysInMonth(time->wYear, time->wMonth) || time->wHour > 23 ||
        time->wMinute > 59 || time->wSecond > 59 || time->wMilliseconds > 999)
        return false;
    // 1601 begins a 400-year cycle of the calendar.
    int years = time->wYear - kFirstYear;
    ULONGLONG days = static_cast<ULONGLONG>(years / 400) * kDaysPer400Years;
    for (int year = kFirstYear + years / 400 * 400; year < time->wYear; ++year)
        days += static_cast<ULONGLONG>(DaysInYear(year));
    for (int month = 1; month < time->wMonth; ++month)
        days += static_cast<ULONGLONG>(DaysInMonth(time->wYear, month));
    days += time->wDay - 1U;
    ULONGLONG milliseconds = ((time->wHour * 60ULL + time->wMinute) * 60 + time->wSecond) * 1000 + time->wMilliseconds;
    ULONGLONG count = days * kTicksPerDay + milliseconds * kTicksPerMillisecond;
    if (count > kLastTick)
        return false;
    *ticks = count;
    return true;
}

bool TicksToRecord(ULONGLONG ticks, SYSTEMTIME* time)
{
    if (ticks > kLastTick)
        return false;
    ULONGLONG days = ticks / kTicksPerDay;
    ULONGLONG milliseconds = ticks % kTicksPerDay / kTicksPerMillisecond;
    SYSTEMTIME record = {};
    record.wDayOfWeek = static_cast<WORD>((days + 1) % 7); // 1601-01-01 was a Monday
    int year = kFirstYear + static_cast<int>(days / kDaysPer400Years) * 400;
    int left = static_cast<int>(days % kDaysPer400Years);
    while (left >= DaysInYear(year))
        left -= DaysInYear(year++);
    int month = 1;
    while (left >= DaysInMonth(year, month))
        left -= DaysInMonth(year, month++);
    record.wYear = static_cast<WORD>(year);
    record.wMonth = static_cast<WORD>(month);
    record.wDay = static_cast<WORD>(left + 1);
    record.wHour = static_cast<WORD>(milliseconds / 3600000);
    record.wMinute = static_cast<WORD>(milliseconds / 60000 % 60);
    record.wSecond = static_cast<WORD>(milliseconds / 1000 % 60);
    record.wMilliseconds = static_cast<WORD>(milliseconds % 1000);
    *time = record;
    return true;
}

bool LocalToUtc(const SYSTEMTIME* local, LONG bias, SYSTEMTIME* utc)
{
    ULONGLONG ticks;
    if (!RecordToTicks(local, &ticks))
        return false;
    LONGLONG shifted = static_cast<LONGLONG>(ticks) + static_cast<LONGLONG>(bias) * 60 * 1000 * 10000LL;
    return shifted >= 0 && TicksToRecord(static_cast<ULONGLONG>(shifted), utc);
}
