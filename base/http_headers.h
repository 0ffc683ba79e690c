// The headers of an answer the network keeps: Last-Modified, and the two that say
// when the widget may ask again. Their readers are pure and bounded: at most
// kHeaderUnits units of a text are looked at, whatever follows, and numbers stop
// growing at a day instead of overflowing.
#pragma once

#include <windows.h>

#include "http_fetch.h"
#include "winhttp_api.h"

const int kHeaderUnits = 128;           // a longer header value is not read past this
const DWORD kLongestHeaderS = 86400;    // a longer time reads as a day

// Cache-Control ("public, max-age=60, no-transform"): the seconds of its first
// max-age directive (a number, or one in quotes). False when there is none or it is
// not a number; s-maxage and the insides of other directives' quoted values do not count.
bool ReadMaxAge(const WCHAR* text, DWORD* seconds);

// Retry-After: seconds ("120"), or an HTTP date ("Fri, 11 Jun 2010 08:05:09 GMT")
// counted from `now` (UTC ticks; a date already past gives 0). False when it is
// neither.
bool ReadRetryAfter(const WCHAR* text, ULONGLONG now, DWORD* seconds);

// Reads into `answer` what the final answer of `request` (its `status`) says: a 200's
// Last-Modified when it is a real date, a 200's or 304's max-age, a 429's or 503's
// Retry-After from the real time now. A header that is missing or unreadable is none.
void ReadAnswerHeaders(const WinHttp& api, HINTERNET request, DWORD status, FetchAnswer* answer);

// The real time now, UTC ticks (the widget's replay clock plays no part in the network).
ULONGLONG RealUtcNow(void);
