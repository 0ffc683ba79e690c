// UTF-8 to UTF-16, the one conversion the data reader asks of the platform. Its own
// file so that the readers stay plain code: the native fuzz build (fuzz/) links a
// portable implementation in its place.
#pragma once

#include <windows.h>

// Converts `count` bytes of UTF-8 into at most `room` UTF-16 units (no terminator
// added). Gives the units written, or 0 when the bytes are no valid UTF-8 (a stray
// or missing continuation byte, an overlong form, a surrogate, past U+10FFFF), when
// the result does not fit, or when `count` is not positive.
int Utf8ToUtf16(const char* bytes, int count, WCHAR* units, int room);
