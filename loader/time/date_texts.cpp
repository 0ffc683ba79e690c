// Every %s the readers scan has a width that fits its buffer, so the CRT's "_s"
// variants would add nothing: MSVC is told not to ask for them (C4996).
#ifndef _CRT_SECURE_NO_WARNINGS
#define _CRT_SECURE_NO_WARNINGS
#endif
#include "date_texts.h"

#include <stdio.h>
#include <wchar.h>

namespace {

// Every weekday table begins with Sunday, so a weekday's position is its
// wDayOfWeek; a month's position is wMonth - 1. Widths include the terminator.
const int kNameWidth = 4;
const int kRuNameWidth = 20;

const WCHAR kWeekdayAbbreviations[7][kNameWidth] = {
    L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat" };
const WCHAR kMonthAbbreviations[12][kNameWidth] = {
    L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec" };
const char kWeekdayAbbreviationsA[7][kNameWidth] = {
    "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
const char kMonthAbbreviationsA[12][kNameWidth] = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
// Lower case; the months in the genitive, the form that follows a day number.
const WCHAR kWeekdayNamesRu[7][kRuNameWidth] = {
    L"воскресенье", L"понедельник", L"вторник", L"среда", L"четверг", L"пятница", L"суббота" };
const WCHAR kMonthNamesRu[12][kRuNameWidth] = {
    L"января", L"февраля", L"марта", L"апреля", L"мая", L"июня",
    L"июля", L"августа", L"сентября", L"октября", L"ноября", L"декабря" };

const WCHAR kErrText[] = L"err";
const WCHAR kErrMonthText[] = L"err_month";
const WCHAR kErrDayOfWeekText[] = L"err_day_of_week";

// The values both readers scan, before they are checked.
struct ScannedTime {
    int day;
    int year;
    int hour;
    int minute;
    int second;
};

// Where the scanner found each number, or -1 where it did not get. It only skips
// the numbers (%*d), since a %d past 32 bits is undefined; ReadNumber reads them.
struct NumberStarts {
    int day = -1;
    int year = -1;
    int hour = -1;
    int minute = -1;
    int second = -1;
    int zone = -1;
};

// The number %d takes at text[start] (the scanner has skipped the blanks before it):
// an optional sign and decimal digits. False when there is none or it does not fit
// 32 bits.
template <class Char>
bool ReadNumber(const Char* text, int start, int* value)
{
    if (start < 0)
        return false;
    const Char* digit = text + start;
    bool negative = *digit == '-';
    if (*digit == '-' || *digit == '+')
        ++digit;
    if (*digit < '0' || *digit > '9')
        return false;
    long long magnitude = 0;
    for (; *digit >= '0' && *digit <= '9'; ++digit) {
        magnitude = magnitude * 10 + (*digit - '0');
        if (magnitude > 2147483648LL)
            return false;
    }
    if (!negative && magnitude > 2147483647LL)
        return false;
    *value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

template <class Char>
bool ReadScannedTime(const Char* text, const NumberStarts& at, ScannedTime* scanned)
{
    return ReadNumber(text, at.day, &scanned->day) && ReadNumber(text, at.year, &scanned->year) &&
           ReadNumber(text, at.hour, &scanned->hour) && ReadNumber(text, at.minute, &scanned->minute) &&
           ReadNumber(text, at.second, &scanned->second);
}

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

// What both readers do once the scanner has found the names and the numbers:
// read the numbers, look the names up in the tables of the text's width, check
// and build the record. False leaves `time` alone.
template <class Char>
bool ReadRecord(const Char* text, const NumberStarts& at, const Char* weekday, const Char* month,
                const Char (&weekdays)[7][kNameWidth], const Char (&months)[12][kNameWidth], SYSTEMTIME* time)
{
    ScannedTime scanned = {};
    return ReadScannedTime(text, at, &scanned) &&
           BuildRecord(FindName(weekdays, weekday), FindName(months, month), scanned, time);
}

// Bias in minutes (UTC = local + Bias) of a zone number such as +0300 or -0530:
// the last two digits are minutes, the rest hours. False for minutes past 59 or
// more than 99 hours, which are no zone.
bool ZoneBias(int zone, LONG* bias)
{
    if (zone < -9959 || zone > 9959)
        return false;
    int magnitude = zone < 0 ? -zone : zone;
    if (magnitude % 100 > 59)
        return false;
    int minutes = magnitude / 100 * 60 + magnitude % 100;
    *bias = zone < 0 ? minutes : -minutes;
    return true;
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
    NumberStarts at;
    // "%3ls, %d %3ls %d %d:%d:%d UTC" with each number only found (": " skips the
    // blanks that %d itself would).
    if (swscanf(text, L"%3ls, %n%*d %3ls %n%*d %n%*d: %n%*d: %n%*d UTC", weekday, &at.day, month, &at.year, &at.hour,
                &at.minute, &at.second) < 2 ||
        !ReadRecord(text, at, weekday, month, kWeekdayAbbreviations, kMonthAbbreviations, time))
        return nullptr;
    return time;
}

SYSTEMTIME* ParseZonedTime(const char* text, SYSTEMTIME* time)
{
    if (!text || !time)
        return nullptr;
    char weekday[kNameWidth] = {};
    char month[kNameWidth] = {};
    NumberStarts at;
    int zoneNumber = 0;
    SYSTEMTIME local;
    // "%3s, %d %3s %d %d:%d:%d %d", each number only found, as in ParseUtcTime.
    if (sscanf(text, "%3s, %n%*d %3s %n%*d %n%*d: %n%*d: %n%*d %n%*d", weekday, &at.day, month, &at.year, &at.hour,
               &at.minute, &at.second, &at.zone) < 2 ||
        !ReadNumber(text, at.zone, &zoneNumber) ||
        !ReadRecord(text, at, weekday, month, kWeekdayAbbreviationsA, kMonthAbbreviationsA, &local))
        return nullptr;
    LONG bias;
    if (!ZoneBias(zoneNumber, &bias))
        return nullptr;
    if (LocalToUtc(&local, bias, time))
        return time;
    // A local time that is no real date (day 0, 31 April) does not convert: the
    // record is left as it was and still given back. A real date whose UTC falls
    // before 1601 has no record to give.
    ULONGLONG ticks;
    return RecordToTicks(&local, &ticks) ? nullptr : time;
}

const WCHAR* GetMonthNameRu(const SYSTEMTIME* time)
{
    return IsSystemTimeValid(time) ? kMonthNamesRu[time->wMonth - 1] : kErrMonthText;
}

const WCHAR* GetDayOfWeekNameRu(const SYSTEMTIME* time)
{
    return IsSystemTimeValid(time) ? kWeekdayNamesRu[time->wDayOfWeek] : kErrDayOfWeekText;
}
