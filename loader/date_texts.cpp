#include "date_texts.h"

#include <stdio.h>
#include <wchar.h>

namespace {

// The values both readers scan, before they are checked.
struct ScannedTime {
    int day;
    int year;
    int hour;
    int minute;
    int second;
};

// Position of `name` in the table by exact, case-sensitive comparison, or -1.
// Both the entries and the scanned name end within kNameWidth units.
template <class Char, int Count>
int FindName(const Char (&table)[Count][kNameWidth], const Char* name)
{
    for (int i = 0; i < Count; ++i) {
        for (int k = 0; k < kNameWidth && table[i][k] == name[k]; ++k) {
            if (!name[k])
                return i;
        }
    }
    return -1;
}

// Checks the scanned values and builds the record; false leaves `time` alone.
bool BuildRecord(int weekday, int month, const ScannedTime& scanned, SYSTEMTIME* time)
{
    if (weekday < 0 || month < 0)
        return false;
    if (scanned.hour < 0 || scanned.hour > 23 || scanned.minute < 0 || scanned.minute > 59 ||
        scanned.second < 0 || scanned.second > 59 || scanned.day < 0 || scanned.day > 31)
        return false;
    time->wYear = static_cast<WORD>(scanned.year); // the year is kept to 16 bits, unchecked
    time->wMonth = static_cast<WORD>(month + 1);
    time->wDayOfWeek = static_cast<WORD>(weekday);
    time->wDay = static_cast<WORD>(scanned.day);
    time->wHour = static_cast<WORD>(scanned.hour);
    time->wMinute = static_cast<WORD>(scanned.minute);
    time->wSecond = static_cast<WORD>(scanned.second);
    time->wMilliseconds = 0;
    return true;
}

// Bias in minutes (UTC = local + Bias) of a zone number such as +0300 or -0530:
// the last two digits are minutes, the rest hours. Worked out in 64 bits, so
// every int zone number gives a bias that fits a LONG.
LONG ZoneBias(int zone)
{
    long long magnitude = zone < 0 ? -static_cast<long long>(zone) : zone;
    long long minutes = magnitude / 100 * 60 + magnitude % 100;
    return static_cast<LONG>(zone < 0 ? minutes : -minutes);
}

} // namespace

bool IsSystemTimeValid(const SYSTEMTIME* time)
{
    return time && time->wDayOfWeek <= 6 && time->wMonth >= 1 && time->wMonth <= 12 && time->wDay <= 31 &&
           time->wHour <= 23 && time->wMinute <= 59 && time->wSecond <= 59 && time->wMilliseconds <= 999;
}

int FormatGmtTime(const SYSTEMTIME* time, WCHAR* text)
{
    if (!text)
        return 0;
    // %ls is a wide text under both the Microsoft and the ISO rules; the count
    // bounds the write even if a text ever grew past the room callers give.
    int written;
    if (!IsSystemTimeValid(time)) {
        written = swprintf(text, kGmtTextUnits, L"%ls", kErrText);
    } else {
        written = swprintf(text, kGmtTextUnits, L"%ls, %2.2i %ls %2.2i %2.2i:%2.2i:%2.2i GMT",
                           kWeekdayAbbreviations[time->wDayOfWeek], time->wDay, kMonthAbbreviations[time->wMonth - 1],
                           time->wYear, time->wHour, time->wMinute, time->wSecond);
    }
    return written < 0 ? 0 : written;
}

bool GetFileTimeText(const WCHAR* path, WCHAR* text)
{
    if (!text)
        return false;
    SYSTEMTIME written;
    if (!GetFileLastWriteTime(path, &written))
        return false;
    FormatGmtTime(&written, text);
    return true;
}

SYSTEMTIME* ParseUtcTime(const WCHAR* text, SYSTEMTIME* time)
{
    if (!text || !time)
        return nullptr;
    // %3ls stores at most three units and a terminator: the buffers hold four.
    WCHAR weekday[kNameWidth] = {};
    WCHAR month[kNameWidth] = {};
    ScannedTime scanned = {};
    if (swscanf(text, L"%3ls, %d %3ls %d %d:%d:%d UTC", weekday, &scanned.day, month, &scanned.year, &scanned.hour,
                &scanned.minute, &scanned.second) != 7)
        return nullptr;
    if (!BuildRecord(FindName(kWeekdayAbbreviations, weekday), FindName(kMonthAbbreviations, month), scanned, time))
        return nullptr;
    return time;
}

SYSTEMTIME* ParseZonedTime(const char* text, SYSTEMTIME* time)
{
    if (!text || !time)
        return nullptr;
    char weekday[kNameWidth] = {};
    char month[kNameWidth] = {};
    ScannedTime scanned = {};
    int zoneNumber = 0;
    if (sscanf(text, "%3s, %d %3s %d %d:%d:%d %d", weekday, &scanned.day, month, &scanned.year, &scanned.hour,
               &scanned.minute, &scanned.second, &zoneNumber) != 8)
        return nullptr;
    SYSTEMTIME local;
    if (!BuildRecord(FindName(kWeekdayAbbreviationsA, weekday), FindName(kMonthAbbreviationsA, month), scanned, &local))
        return nullptr;
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = ZoneBias(zoneNumber);
    // A local time that is no real date does not convert; the record is then
    // left as it was and still given back.
    SYSTEMTIME utc;
    if (TzSpecificLocalTimeToSystemTime(&zone, &local, &utc))
        *time = utc;
    return time;
}

const WCHAR* GetMonthNameRu(const SYSTEMTIME* time)
{
    return IsSystemTimeValid(time) ? kMonthNamesRu[time->wMonth - 1] : kErrMonthText;
}

const WCHAR* GetDayOfWeekNameRu(const SYSTEMTIME* time)
{
    return IsSystemTimeValid(time) ? kWeekdayNamesRu[time->wDayOfWeek] : kErrDayOfWeekText;
}
