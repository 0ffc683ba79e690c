// The few platform types and helpers the engine's parsers use, for the native fuzz
// build (clang on Linux, -fshort-wchar so that WCHAR and L"..." keep their Windows
// size). Plain stand-ins, enough for the product's sources to compile unchanged; not
// the platform. What a parser asks of the platform for real work goes through a
// function of the engine's own (Utf8ToUtf16, the time module's calendar.h), which
// fuzz/native/ implements portably. A platform call missing here is one a parser
// should not make: the build says so.
#pragma once

#include <stddef.h>
#include <string.h>

static_assert(sizeof(wchar_t) == 2, "the native fuzz build needs -fshort-wchar");

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD; // 32 bits, as on Windows (not Linux's unsigned long)
typedef int BOOL;
typedef unsigned int UINT;
typedef int LONG;           // likewise
typedef long long LONGLONG;
typedef unsigned long long ULONGLONG;
typedef size_t SIZE_T;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef void* HANDLE;
typedef struct NativeKey* HKEY;
typedef struct NativeModule* HMODULE;
typedef struct NativeResource* HRSRC;
typedef void* HGLOBAL;
typedef struct NativeWindow* HWND; // declarations of the headers only: no window here

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define WM_APP 0x8000
#define ARRAYSIZE(a) (sizeof(a) / sizeof((a)[0]))
#define MAKEINTRESOURCEW(i) (reinterpret_cast<const WCHAR*>(static_cast<size_t>(static_cast<WORD>(i))))
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONGLONG>(-1)))

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_MORE_DATA 234L
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW;

#define CopyMemory(to, from, bytes) memcpy((to), (from), (bytes))
#define ZeroMemory(to, bytes) memset((to), 0, (bytes))

inline int lstrlenW(const WCHAR* text)
{
    if (!text)
        return 0;
    int length = 0;
    while (text[length])
        ++length;
    return length;
}

// At most units - 1 units and a terminator, as the platform's.
inline WCHAR* lstrcpynW(WCHAR* to, const WCHAR* from, int units)
{
    WCHAR* at = to;
    for (; units > 1 && *from; --units)
        *at++ = *from++;
    if (units > 0)
        *at = 0;
    return to;
}

inline WCHAR* lstrcpyW(WCHAR* to, const WCHAR* from)
{
    WCHAR* at = to;
    while ((*at++ = *from++) != 0) {
    }
    return to;
}

inline WCHAR* lstrcatW(WCHAR* to, const WCHAR* from)
{
    lstrcpyW(to + lstrlenW(to), from);
    return to;
}

// user32's formatter: %s is a wide text, l means 32 bits; at most 1024 units with the
// terminator. (platform_native.cpp)
int wsprintfW(WCHAR* buffer, const WCHAR* format, ...);

// No file system, no resources and no registry in the fuzz build: these find nothing
// (platform_native.cpp). A target that needs a registry value serves it itself.
HANDLE FindFirstFileW(const WCHAR* path, WIN32_FIND_DATAW* found);
BOOL FindClose(HANDLE search);
HRSRC FindResourceW(HMODULE module, const WCHAR* name, const WCHAR* type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
void* LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
LONG RegQueryValueExW(HKEY key, const WCHAR* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* bytes);
