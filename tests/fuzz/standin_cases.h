// Cases on which the native fuzz build's stand-ins (fuzz/native/) must answer as the
// platform does: Utf8ToUtf16, the time module's calendar, and the C runtime's wide
// scanner and formatters as the date and proxy readers use them. The Wine suite runs
// them against the platform (standin_cases_test.cpp), the fuzz build's check against
// the stand-ins (fuzz/native/standin_check.cpp): what the fuzz targets learn of the
// parsers then holds for the product. Plain code, so both builds take it.
//
// Where Wine 8 strays from the calendar and the documented rules, the case is marked
// and checked on the stand-ins only, which keep the stricter answer (a real date, a
// result that fits whole): Wine takes 29 February of every year (as 1 March), years
// past the last FILETIME (a tick count with the top bit set), and writes the first half
// of a surrogate pair that does not fit whole. The product takes either answer.
#pragma once

#include <windows.h>

#include "calendar.h"
#include "date_texts.h"
#include "utf8_text.h"
#include "web_address.h"

namespace standin {

struct Utf8Case {
    const char* bytes;
    int count;
    int room;
    int units;         // 0: refused
    const WCHAR* text; // what the units say
    bool wineStrays;   // Wine 8 answers otherwise (above)
};

const Utf8Case kUtf8Cases[] = {
    { "A", 1, 23, 1, L"A" },
    { "\xD0\xAE\xD0\x90\xD0\xA0", 6, 23, 3, L"\x042E\x0410\x0420" }, // ЮАР
    { "a\0b", 3, 23, 3, L"a\0b" },
    { "\xEF\xBF\xBF", 3, 23, 1, L"\xFFFF" },
    { "\xF0\x9F\x98\x80", 4, 2, 2, L"\xD83D\xDE00" },
    { "\xF4\x8F\xBF\xBF", 4, 23, 2, L"\xDBFF\xDFFF" },
    { "\xF0\x9F\x98\x80", 4, 1, 0, L"", true }, // a pair does not fit one unit
    { "abc", 3, 2, 0, L"" },               // does not fit
    { "abc", 3, 3, 3, L"abc" },            // fits exactly
    { "\xC0\x80", 2, 23, 0, L"" },         // overlong
    { "\xE0\x80\xAF", 3, 23, 0, L"" },     // overlong
    { "\xED\xA0\x80", 3, 23, 0, L"" },     // a surrogate
    { "\xF4\x90\x80\x80", 4, 23, 0, L"" }, // past U+10FFFF
    { "\xF8\x88\x80\x80\x80", 5, 23, 0, L"" },
    { "\xD0", 1, 23, 0, L"" },             // cut short
    { "\xE2\x82", 2, 23, 0, L"" },
    { "a\x80", 2, 23, 0, L"" },            // a stray continuation byte
    { "\xD0\x41", 2, 23, 0, L"" },
    { "\xFF", 1, 23, 0, L"" },
    { "", 0, 23, 0, L"" },
};

inline SYSTEMTIME Record(int year, int month, int weekday, int day, int hour = 0, int minute = 0, int second = 0,
                         int ms = 0)
{
    SYSTEMTIME t;
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDayOfWeek = static_cast<WORD>(weekday);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(ms);
    return t;
}

inline bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

const ULONGLONG kLastTick = 0x7FFFFFFFFFFFFFFFULL;
const ULONGLONG kOpeningKickoff = 129207384000000000ULL; // 2010-06-11 14:00 UTC

// Ticks to a record and back; the weekday is computed one way, ignored the other.
struct CalendarCase {
    SYSTEMTIME record;
    bool converts;
    ULONGLONG ticks;
    bool wineStrays; // Wine 8 answers otherwise (above)
};

const CalendarCase kCalendarCases[] = {
    { Record(1601, 1, 1, 1), true, 0 },
    { Record(2010, 6, 5, 11, 14), true, kOpeningKickoff },
    { Record(2000, 2, 2, 29, 23, 59, 59, 999), true, 125963423999990000ULL },
    { Record(30827, 12, 5, 31, 23, 59, 59, 999), true, 9223149887999990000ULL },
    { Record(30828, 9, 4, 14, 2, 48, 5, 477), true, 9223372036854770000ULL }, // the last whole millisecond
    { Record(1600, 12, 0, 31), false, 0 },
    { Record(2010, 2, 0, 29), false, 0, true },
    { Record(1900, 2, 0, 29), false, 0, true },
    { Record(30828, 9, 0, 14, 2, 48, 5, 478), false, 0, true }, // past the last tick
    { Record(30829, 1, 0, 1), false, 0, true },
    { Record(2010, 6, 0, 31), false, 0 },
    { Record(2010, 6, 0, 0), false, 0 },
    { Record(2010, 13, 0, 1), false, 0 },
    { Record(2010, 0, 0, 1), false, 0 },
    { Record(2010, 6, 0, 11, 24), false, 0 },
    { Record(2010, 6, 0, 11, 0, 60), false, 0 },
    { Record(2010, 6, 0, 11, 0, 0, 60), false, 0 },
    { Record(2010, 6, 0, 11, 0, 0, 0, 1000), false, 0 },
};

// A local time `bias` minutes behind UTC to UTC.
struct LocalCase {
    SYSTEMTIME local;
    LONG bias;
    bool converts;
    SYSTEMTIME utc;
};

const LocalCase kLocalCases[] = {
    { Record(2010, 6, 0, 11, 2), -180, true, Record(2010, 6, 4, 10, 23) },
    { Record(2010, 6, 0, 11, 22, 30), 300, true, Record(2010, 6, 6, 12, 3, 30) },
    { Record(2010, 6, 0, 11, 12, 0, 0, 250), -5999, true, Record(2010, 6, 1, 7, 8, 1, 0, 250) },
    { Record(2010, 12, 0, 31, 23), -60, true, Record(2010, 12, 5, 31, 22) },
    { Record(2010, 12, 0, 31, 23), 60, true, Record(2011, 1, 6, 1, 0) },
    { Record(1601, 1, 0, 1, 3), -180, true, Record(1601, 1, 1, 1) },
    { Record(1601, 1, 0, 1, 1), -180, false, {} }, // UTC before 1601
    { Record(2010, 6, 0, 0, 12), -180, false, {} },
};

// The web-style texts as the engine reads and writes them: ParseUtcTime (the wide
// scanner), then FormatGmtTime (the wide formatter) of what it read.
struct UtcTextCase {
    const WCHAR* text;
    bool accepted;
    SYSTEMTIME record;
    const WCHAR* written;
};

const UtcTextCase kUtcTextCases[] = {
    { L"Fri, 11 Jun 2010 08:05:09 GMT", true, Record(2010, 6, 5, 11, 8, 5, 9), L"Fri, 11 Jun 2010 08:05:09 GMT" },
    { L"  Fri,11   Jun 2010 8:5:9", true, Record(2010, 6, 5, 11, 8, 5, 9), L"Fri, 11 Jun 2010 08:05:09 GMT" },
    { L"Fri, 11 Jun2010 08:05: 09", true, Record(2010, 6, 5, 11, 8, 5, 9), L"Fri, 11 Jun 2010 08:05:09 GMT" },
    { L"Sun, 3 Jan 1 00:00:00 UTC", true, Record(1, 1, 0, 3), L"Sun, 03 Jan 01 00:00:00 GMT" },
    { L"Sun, 31 Jan 65535 23:59:59", true, Record(65535, 1, 0, 31, 23, 59, 59), L"Sun, 31 Jan 65535 23:59:59 GMT" },
    { L"Fri, +11 Jun -2147483648 +8:-0:+9", true, Record(0, 6, 5, 11, 8, 0, 9), L"Fri, 11 Jun 00 08:00:09 GMT" },
    { L"Fri, 11 Jun 2010 08:05", false, {}, nullptr },
    { L"Fri, 11 Jun 2010 08 :05:09", false, {}, nullptr },
    { L"Fri, 11 Jun 2010 08:05:+", false, {}, nullptr },
    { L"Fri , 11 Jun 2010 08:05:09", false, {}, nullptr },
    { L"Friday, 11 Jun 2010 08:05:09", false, {}, nullptr },
    { L"", false, {}, nullptr },
};

// The 8-bit reader with a zone.
struct ZonedTextCase {
    const char* text;
    bool given;   // a record is given back
    bool changed; // and it holds UTC; else it was left as it was
    SYSTEMTIME utc;
};

const ZonedTextCase kZonedTextCases[] = {
    { "Fri, 11 Jun 2010 12:00:00 +0300", true, true, Record(2010, 6, 5, 11, 9) },
    { "Fri, 11 Jun 2010 22:30:00 -0500", true, true, Record(2010, 6, 6, 12, 3, 30) },
    { "Fri, 11 Jun 2010 12:00:00 +9959", true, true, Record(2010, 6, 1, 7, 8, 1) },
    { "Fri, 0 Jun 2010 12:00:00 +0300", true, false, {} },
    { "Mon, 1 Jan 1601 01:00:00 +0300", false, false, {} },
    { "Fri, 11 Jun 2010 12:00:00 +0060", false, false, {} },
    { "Fri, 11 Jun 2010 12:00:00 GMT", false, false, {} },
};

// ReadProxyServer's "host:port", written by the platform's formatter.
struct ProxyCase {
    const WCHAR* text;
    DWORD units;
    const WCHAR* server; // null: refused
};

const ProxyCase kProxyCases[] = {
    { L"proxy", 260, L"proxy:80" },
    { L"http://proxy:3128", 260, L"proxy:3128" },
    { L"[::1]:65535", 260, L"[::1]:65535" },
    { L"p:1", 8, L"p:1" }, // the room the longest port needs: 1 + 7
    { L"p:1", 7, nullptr },
    { L"proxy:0", 260, nullptr },
};

inline bool SameText(const WCHAR* a, const WCHAR* b, int units)
{
    for (int i = 0; i < units; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// Runs every case above against whatever Utf8ToUtf16, calendar, date texts and proxy
// reader are linked; `failed` hears of each case that answers otherwise. `onWine`
// leaves out the cases where Wine strays.
inline void CheckEveryCase(void (*failed)(const char* table, int index), bool onWine)
{
    const SYSTEMTIME untouched = Record(4321, 11, 3, 22);
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kUtf8Cases)); ++i) {
        const Utf8Case& c = kUtf8Cases[i];
        if (onWine && c.wineStrays)
            continue;
        WCHAR units[32] = {};
        int got = Utf8ToUtf16(c.bytes, c.count, units, c.room);
        if (got != c.units || !SameText(units, c.text, got))
            failed("Utf8ToUtf16", i);
    }
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kCalendarCases)); ++i) {
        const CalendarCase& c = kCalendarCases[i];
        if (onWine && c.wineStrays)
            continue;
        ULONGLONG ticks = 12345;
        if (RecordToTicks(&c.record, &ticks) != c.converts || ticks != (c.converts ? c.ticks : 12345))
            failed("RecordToTicks", i);
        SYSTEMTIME back = untouched;
        if (c.converts && (!TicksToRecord(c.ticks, &back) || !Same(back, c.record)))
            failed("TicksToRecord", i);
    }
    SYSTEMTIME past = untouched;
    if (TicksToRecord(kLastTick + 1, &past) || !Same(past, untouched))
        failed("TicksToRecord past the last tick", 0);
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kLocalCases)); ++i) {
        const LocalCase& c = kLocalCases[i];
        SYSTEMTIME utc = untouched;
        if (LocalToUtc(&c.local, c.bias, &utc) != c.converts || !Same(utc, c.converts ? c.utc : untouched))
            failed("LocalToUtc", i);
    }
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kUtcTextCases)); ++i) {
        const UtcTextCase& c = kUtcTextCases[i];
        SYSTEMTIME time = untouched;
        bool accepted = ParseUtcTime(c.text, &time) != nullptr;
        if (accepted != c.accepted || !Same(time, c.accepted ? c.record : untouched)) {
            failed("ParseUtcTime", i);
            continue;
        }
        WCHAR written[kGmtTextUnits] = {};
        int length = lstrlenW(c.written);
        if (accepted && (FormatGmtTime(&time, written) != length || !SameText(written, c.written, length + 1)))
            failed("FormatGmtTime", i);
    }
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kZonedTextCases)); ++i) {
        const ZonedTextCase& c = kZonedTextCases[i];
        SYSTEMTIME time = untouched;
        bool given = ParseZonedTime(c.text, &time) != nullptr;
        if (given != c.given || !Same(time, c.changed ? c.utc : untouched))
            failed("ParseZonedTime", i);
    }
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kProxyCases)); ++i) {
        const ProxyCase& c = kProxyCases[i];
        WCHAR server[260] = L"none";
        bool read = ReadProxyServer(c.text, server, c.units);
        if (read != (c.server != nullptr) || (read && !SameText(server, c.server, lstrlenW(c.server) + 1)))
            failed("ReadProxyServer", i);
    }
}

} // namespace standin
