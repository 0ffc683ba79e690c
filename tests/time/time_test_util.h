// Helpers shared by the time module's tests: building, comparing and printing
// SYSTEMTIME records, and files with a chosen last-write time.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

inline bool operator==(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

inline bool operator!=(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return !(a == b);
}

// GoogleTest finds this by argument lookup and prints records readably.
inline void PrintTo(const SYSTEMTIME& t, std::ostream* out)
{
    *out << "{" << t.wYear << "-" << t.wMonth << "-" << t.wDay << " " << t.wHour << ":" << t.wMinute << ":"
         << t.wSecond << "." << t.wMilliseconds << " weekday " << t.wDayOfWeek << "}";
}

namespace tt {

// Field order of the record: year, month, weekday, day, hour, minute, second, ms.
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

// A record no operation would produce, to see whether a call wrote anything.
inline SYSTEMTIME Sentinel()
{
    return Record(4321, 11, 3, 22, 17, 33, 44, 555);
}

// Creates (or truncates) the file and sets its last-write time; true on success.
inline bool WriteFileWithTime(const std::wstring& path, const SYSTEMTIME& utc)
{
    FILETIME fileTime;
    if (!SystemTimeToFileTime(&utc, &fileTime))
        return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, "x", 1, &written, nullptr) && SetFileTime(file, nullptr, nullptr, &fileTime);
    CloseHandle(file);
    return ok != FALSE;
}

} // namespace tt
