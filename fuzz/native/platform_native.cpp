// The native fuzz build's stand-ins for the platform and C runtime calls the parsers
// make (declared in windows.h and wchar.h here): the formatters and the scanner for
// 16-bit WCHAR, and a platform with no files, resources or registry.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "wchar.h"
#include "windows.h"

namespace {

[[noreturn]] void Unsupported(const char* what, const wchar_t* format)
{
    fprintf(stderr, "the native stand-in of %s does not know this format:", what);
    for (; *format; ++format)
        fprintf(stderr, " %04x", static_cast<unsigned>(*format));
    fprintf(stderr, "\n");
    abort();
}

// Bounded output: counts every unit, stores those that fit before the terminator.
struct Output {
    wchar_t* buffer;
    size_t room;
    size_t count;
};

void Put(Output& out, wchar_t unit)
{
    if (out.count + 1 < out.room)
        out.buffer[out.count] = unit;
    ++out.count;
}

void PutPadded(Output& out, const wchar_t* text, size_t length, int width, bool left, wchar_t pad)
{
    size_t padding = width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) - length : 0;
    if (!left) {
        for (size_t i = 0; i < padding; ++i)
            Put(out, pad);
    }
    for (size_t i = 0; i < length; ++i)
        Put(out, text[i]);
    if (left) {
        for (size_t i = 0; i < padding; ++i)
            Put(out, L' ');
    }
}

// The conversions both formatters share. `wideS`: %s is a wide text (wsprintfW);
// otherwise only %ls is (ISO swprintf). Gives the units the whole text takes.
size_t Format(Output& out, const wchar_t* format, va_list args, bool wideS, const char* what)
{
    const wchar_t* start = format;
    for (; *format; ++format) {
        if (*format != L'%') {
            Put(out, *format);
            continue;
        }
        ++format;
        bool left = false, zero = false;
        for (;; ++format) {
            if (*format == L'-')
                left = true;
            else if (*format == L'0')
                zero = true;
            else
                break;
        }
        int width = 0, precision = -1;
        for (; *format >= L'0' && *format <= L'9'; ++format)
            width = width * 10 + (*format - L'0');
        if (*format == L'.') {
            precision = 0;
            for (++format; *format >= L'0' && *format <= L'9'; ++format)
                precision = precision * 10 + (*format - L'0');
        }
        bool longText = false, shortText = false;
        if (*format == L'l') {
            longText = true; // a wide text, or a 32-bit number as on Windows
            ++format;
        } else if (*format == L'h') {
            shortText = true;
            ++format;
        }
        wchar_t digits[24];
        switch (*format) {
        case L'%':
            Put(out, L'%');
            break;
        case L'c': {
            wchar_t unit = static_cast<wchar_t>(va_arg(args, int));
            PutPadded(out, &unit, 1, width, left, L' ');
            break;
        }
        case L's': {
            if (shortText || (!longText && !wideS))
                Unsupported(what, start);
            const wchar_t* text = va_arg(args, const wchar_t*);
            if (!text)
                text = L"(null)";
            size_t length = wcslen(text);
            if (precision >= 0 && length > static_cast<size_t>(precision))
                length = static_cast<size_t>(precision);
            PutPadded(out, text, length, width, left, L' ');
            break;
        }
        case L'd':
        case L'i':
        case L'u': {
            bool isSigned = *format != L'u';
            long long value = isSigned ? static_cast<long long>(va_arg(args, int))
                                       : static_cast<long long>(va_arg(args, unsigned int));
            bool negative = value < 0;
            unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                    : static_cast<unsigned long long>(value);
            size_t n = 0;
            wchar_t reversed[24];
            do {
                reversed[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
                magnitude /= 10;
            } while (magnitude);
            size_t length = 0;
            if (negative)
                digits[length++] = L'-';
            for (int fill = precision - static_cast<int>(n); fill > 0; --fill)
                digits[length++] = L'0';
            while (n)
                digits[length++] = reversed[--n];
            bool zeroPad = zero && !left && precision < 0;
            if (zeroPad && negative) {
                Put(out, L'-');
                PutPadded(out, digits + 1, length - 1, width - 1, false, L'0');
            } else {
                PutPadded(out, digits, length, width, left, zeroPad ? L'0' : L' ');
            }
            break;
        }
        default:
            Unsupported(what, start);
        }
    }
    size_t count = out.count;
    if (out.room)
        out.buffer[count < out.room ? count : out.room - 1] = 0;
    return count;
}

bool IsBlank(wchar_t unit)
{
    return unit == L' ' || (unit >= L'\t' && unit <= L'\r');
}

} // namespace

int wsprintfW(WCHAR* buffer, const WCHAR* format, ...)
{
    const size_t kRoom = 1024; // the platform's limit, terminator included
    va_list args;
    va_start(args, format);
    Output out = { buffer, kRoom, 0 };
    size_t count = Format(out, format, args, true, "wsprintfW");
    va_end(args);
    return static_cast<int>(count < kRoom ? count : kRoom - 1);
}

int swprintf(wchar_t* buffer, size_t units, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    Output out = { buffer, units, 0 };
    size_t count = Format(out, format, args, false, "swprintf");
    va_end(args);
    return count < units ? static_cast<int>(count) : -1; // cut short: an error, as ISO says
}

int swscanf(const wchar_t* text, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const wchar_t* at = text;
    int assigned = 0;
    bool converted = false; // a conversion done: after it an end of input gives the count, not EOF
    bool ended = false;
    for (const wchar_t* f = format; *f && !ended; ++f) {
        if (IsBlank(*f)) {
            while (IsBlank(*at))
                ++at;
            continue;
        }
        if (*f != L'%' || f[1] == L'%') {
            if (*f == L'%')
                ++f;
            if (!*at)
                ended = true;
            else if (*at == *f)
                ++at;
            else
                break; // no match: stop here
            continue;
        }
        ++f;
        bool skip = *f == L'*';
        if (skip)
            ++f;
        int width = 0;
        for (; *f >= L'0' && *f <= L'9'; ++f)
            width = width * 10 + (*f - L'0');
        bool longText = *f == L'l';
        if (longText)
            ++f;
        if (*f == L'n') {
            if (!skip)
                *va_arg(args, int*) = static_cast<int>(at - text);
            continue;
        }
        while (IsBlank(*at))
            ++at;
        if (!*at) {
            ended = true;
            continue;
        }
        if (*f == L's' && longText) {
            wchar_t* into = skip ? nullptr : va_arg(args, wchar_t*);
            int taken = 0;
            for (; *at && !IsBlank(*at) && (!width || taken < width); ++at, ++taken) {
                if (into)
                    into[taken] = *at;
            }
            if (into) {
                into[taken] = 0;
                ++assigned;
            }
            converted = true;
            continue;
        }
        if (*f != L'd' || longText || !skip)
            Unsupported("swscanf", format); // the parsers only skip numbers (%*d)
        if (*at == L'-' || *at == L'+')
            ++at;
        if (*at < L'0' || *at > L'9')
            break; // no number: stop here
        while (*at >= L'0' && *at <= L'9')
            ++at;
        converted = true;
    }
    va_end(args);
    return ended && !converted ? -1 : assigned;
}

HANDLE FindFirstFileW(const WCHAR*, WIN32_FIND_DATAW*)
{
    return INVALID_HANDLE_VALUE;
}

BOOL FindClose(HANDLE)
{
    return FALSE;
}

HRSRC FindResourceW(HMODULE, const WCHAR*, const WCHAR*)
{
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC)
{
    return nullptr;
}

void* LockResource(HGLOBAL)
{
    return nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC)
{
    return 0;
}
