#include "day_arithmetic.h"

namespace {

// FileTimeToSystemTime refuses tick counts with the top bit set: this is the
// last instant the platform can represent (a day in the year 30828). A real date
// (year 30827 at most) is always before it.
const ULONGLONG kLastTick = 0x7FFFFFFFFFFFFFFFULL;

} // namespace

int DaysBetween(const SYSTEMTIME* a, const SYSTEMTIME* b)
{
    if (!a || !b)
        return 0;
    ULONGLONG ticksA = SystemTimeToTicks(a);
    ULONGLONG ticksB = SystemTimeToTicks(b);
    ULONGLONG spans = (ticksA > ticksB ? ticksA - ticksB : ticksB - ticksA) / kTicksPerDay;
    int days = static_cast<int>(spans);
    return ticksA > ticksB ? days : -days;
}

void AddDays(SYSTEMTIME* time, DWORD days)
{
    if (!time)
        return;
    // Not SystemTimeToTicks: its 0 for a refused record would be taken for 1601-01-01.
    ULONGLONG ticks;
    if (!RecordToTicks(time, &ticks))
        return;
    // The product in 64 bits: n x 86,400 seconds overflows 32 bits past 49,710 days.
    // A sum past the last date the platform represents leaves the record as it is.
    if (days > (kLastTick - ticks) / kTicksPerDay)
        return;
    TicksToRecord(ticks + static_cast<ULONGLONG>(days) * kTicksPerDay, time);
}

ULONGLONG SystemTimeToDayNumber(const SYSTEMTIME* time)
{
    return SystemTimeToTicks(time) / kTicksPerDay;
}

int DayNumberDifference(const SYSTEMTIME* a, const SYSTEMTIME* b)
{
    return static_cast<int>(static_cast<LONGLONG>(SystemTimeToDayNumber(a) - SystemTimeToDayNumber(b)));
}
