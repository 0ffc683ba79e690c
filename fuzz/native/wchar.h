// The wide-text functions of the C runtime that the parsers use, for 16-bit WCHAR
// (the native fuzz build's -fshort-wchar; glibc's own work on 32-bit units). Found
// before the system's <wchar.h>; the fuzz sources include no other header that wants
// the system's.
#pragma once

#include <stddef.h>

static_assert(sizeof(wchar_t) == 2, "the native fuzz build needs -fshort-wchar");

inline size_t wcslen(const wchar_t* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

inline int wcscmp(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b ? 0 : (static_cast<unsigned short>(*a) < static_cast<unsigned short>(*b) ? -1 : 1);
}

inline int wcsncmp(const wchar_t* a, const wchar_t* b, size_t count)
{
    for (; count; --count, ++a, ++b) {
        if (*a != *b)
            return static_cast<unsigned short>(*a) < static_cast<unsigned short>(*b) ? -1 : 1;
        if (!*a)
            return 0;
    }
    return 0;
}

inline wchar_t* wcschr(const wchar_t* text, wchar_t unit)
{
    for (;; ++text) {
        if (*text == unit)
            return const_cast<wchar_t*>(text);
        if (!*text)
            return nullptr;
    }
}

inline size_t wcscspn(const wchar_t* text, const wchar_t* stops)
{
    size_t length = 0;
    for (; text[length]; ++length) {
        for (const wchar_t* s = stops; *s; ++s) {
            if (text[length] == *s)
                return length;
        }
    }
    return length;
}

inline wchar_t* wcspbrk(const wchar_t* text, const wchar_t* stops)
{
    text += wcscspn(text, stops);
    return *text ? const_cast<wchar_t*>(text) : nullptr;
}

// The ISO forms, for what the parsers use of them (platform_native.cpp): swprintf with
// %ls, %c, %%, and d/i/u with flags '-' and '0', width, precision and h/l; swscanf
// with blanks, literal units, %n, %*d, and %ls with a width. Anything else
// aborts, so that a parser's new use of them is noticed rather than misread.
int swprintf(wchar_t* buffer, size_t units, const wchar_t* format, ...);
int swscanf(const wchar_t* text, const wchar_t* format, ...);
