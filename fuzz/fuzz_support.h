// What the fuzz targets share: a check that ends the run as a crash, and texts copied
// onto the heap at their exact size, so that AddressSanitizer sees a read or write
// one unit past them.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

[[noreturn]] inline void FuzzFailed(const char* check, const char* file, int line)
{
    fprintf(stderr, "%s:%d: broken: %s\n", file, line, check);
    abort();
}

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzFailed(#condition, __FILE__, __LINE__))

// A heap block of exactly `count` elements; free() it.
template <class T>
T* NewExact(size_t count)
{
    T* block = static_cast<T*>(malloc(count ? count * sizeof(T) : 1));
    FUZZ_CHECK(block != nullptr);
    return block;
}

// The bytes as a terminated wide text, one unit a byte (up to the first zero byte),
// cut to `maxUnits` units; in a block of exactly its length and terminator.
inline WCHAR* WideText(const uint8_t* bytes, size_t count, size_t maxUnits)
{
    size_t length = 0;
    while (length < count && length < maxUnits && bytes[length])
        ++length;
    WCHAR* text = NewExact<WCHAR>(length + 1);
    for (size_t i = 0; i < length; ++i)
        text[i] = bytes[i];
    text[length] = 0;
    return text;
}

// Whether text[0..units) holds a terminator.
inline bool TerminatedWithin(const WCHAR* text, size_t units)
{
    for (size_t i = 0; i < units; ++i) {
        if (!text[i])
            return true;
    }
    return false;
}
